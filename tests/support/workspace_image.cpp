#include "tests/support/workspace_image.h"

#include <string.h>

namespace {

void Put32At(std::vector<uint8_t>& image, uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + i] = (uint8_t)(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> NewWorkspaceImage() {
    // Blocks released from 0x1060 to 0x8000, largest aligned first.
    static const struct { uint32_t offset; int order; } kBlocks[] = {
        {0x1060, 5}, {0x1080, 7}, {0x1100, 8}, {0x1200, 9},
        {0x1400, 10}, {0x1800, 11}, {0x2000, 13}, {0x4000, 14},
    };
    std::vector<uint8_t> image(32768, 0);
    memcpy(&image[0], "SKEN", 4);
    image[4] = 1;     // header layout
    image[7] = 0x06;  // version 0x0600
    image[8] = 24;    // workspace header size
    image[12] = 5;
    image[13] = 19;
    image[14] = 20;
    for (size_t i = 0; i < sizeof kBlocks / sizeof kBlocks[0]; ++i) {
        uint32_t b = kBlocks[i].offset;
        int k = kBlocks[i].order;
        Put32At(image, 0x1000 + 4 * (k - 5), b);  // the only block of its order
        Put32At(image, b + 8, (uint32_t)k);        // next 0, previous 0, order
        image[((b >> 10) & 0x3FF) * 4 + ((b >> 5) & 31) / 8] |= (uint8_t)(1u << ((b >> 5) & 7));
    }
    return image;
}
