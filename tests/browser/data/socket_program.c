/* A small program that imports the socket library by the old name: the
   file the renaming tests doctor. */
#include <winsock.h>

int main(void) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return 1;
    WSACleanup();
    return 0;
}
