// The program's texts, by their string-table number. Every text the user
// sees comes from the resource script; nothing is written twice in code.
#ifndef SKEIND_RES_STRINGS_H
#define SKEIND_RES_STRINGS_H

// The text of string `id`, "" when there is none. The pointer stays valid
// for the life of the process.
const char* AppString(int id);

#endif
