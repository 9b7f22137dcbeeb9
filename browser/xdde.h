// Trouble on the browser link. Only the DDE layer throws these; every
// public operation of the browser link catches them and answers with its
// failure value, so no DDE failure is ever shown.
#ifndef SKEIND_BROWSER_XDDE_H
#define SKEIND_BROWSER_XDDE_H

#include <stdint.h>

class XDde {
public:
    virtual ~XDde() {}
};

// A conversation could not be started, or a number was expected and no
// reply came. The code is the DDE error code.
class XDde_with_code : public XDde {
public:
    explicit XDde_with_code(uint32_t code) : code_(code) {}
    uint32_t code() const { return code_; }

private:
    uint32_t code_;
};

// No browser now, but the user is being (or has just been) asked, or has
// started one: try again later.
class XDde_retry : public XDde {};

// No browser, and none to wait for.
class XDde_no_browser : public XDde {};

#endif
