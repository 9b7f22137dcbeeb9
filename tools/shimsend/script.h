// Shim scripts: observations written one per line, made into datagrams as
// the shim would send them. Used by the sender tool, the tests and the demo.
//
//   # a comment                  blank lines and comments are skipped
//   id 42                        connection id of the lines that follow (1 at first)
//   open TEXT
//   request URL [GET|HEAD]
//   status CODE
//   type MIME
//   base URL
//   title header|title|h1 TEXT
//   link anchor|include|misc|redirect URL [EXTRA]
//   close
//   resync                       the browser's current page changed
//   send                         ends the datagram here
//   pause MILLISECONDS           ends the datagram and waits before the next
//
// Records are packed into datagrams of at most 512 bytes.
#ifndef SKEIND_TOOLS_SHIMSEND_SCRIPT_H
#define SKEIND_TOOLS_SHIMSEND_SCRIPT_H

#include <stddef.h>

#include <string>
#include <vector>

struct ScriptDatagram {
    std::vector<unsigned char> bytes;
    int pause_ms;  // wait after sending it
};

// Makes the datagrams of a script; false with `error` ("line N: ...") at
// the first line that cannot be read.
bool BuildShimScript(const std::string& script, std::vector<ScriptDatagram>* out, std::string* error);

#endif
