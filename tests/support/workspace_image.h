// The bytes of a brand-new workspace file, worked out by hand from the
// record layout rather than by the code under test.
#ifndef SKEIND_TESTS_WORKSPACE_IMAGE_H
#define SKEIND_TESTS_WORKSPACE_IMAGE_H

#include <stdint.h>

#include <vector>

std::vector<uint8_t> NewWorkspaceImage();

#endif
