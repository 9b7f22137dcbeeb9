// The socket library's functions as a browser calls them, for the shim's
// hooks and for the tests that call the shim's exports.
#ifndef SKEIND_SHIM_SOCKET_CALLS_WIN32_H
#define SKEIND_SHIM_SOCKET_CALLS_WIN32_H

#include <winsock2.h>

typedef int(WINAPI* StartupCall)(WORD, WSADATA*);
typedef int(WINAPI* CleanupCall)(void);
typedef SOCKET(WINAPI* SocketCall)(int, int, int);
typedef int(WINAPI* ConnectCall)(SOCKET, const sockaddr*, int);
typedef int(WINAPI* SendCall)(SOCKET, const char*, int, int);
typedef int(WINAPI* SendToCall)(SOCKET, const char*, int, int, const sockaddr*, int);
typedef int(WINAPI* RecvCall)(SOCKET, char*, int, int);
typedef int(WINAPI* RecvFromCall)(SOCKET, char*, int, int, sockaddr*, int*);
typedef int(WINAPI* RecvExCall)(SOCKET, char*, int, int*);
typedef int(WINAPI* CloseCall)(SOCKET);
typedef int(WINAPI* IoctlCall)(SOCKET, long, u_long*);
typedef int(WINAPI* GetOptionCall)(SOCKET, int, int, char*, int*);
typedef int(WINAPI* LastErrorCall)(void);

#endif
