// An AProgressbar that keeps every report, for tests of long operations.
#ifndef SKEIND_TESTS_PROGRESS_RECORDER_H
#define SKEIND_TESTS_PROGRESS_RECORDER_H

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "store/progress.h"

struct ProgressCall {
    uint32_t done;
    uint32_t total;
    bool has_text;  // a text was passed (not none)
    std::string text;

    bool operator==(const ProgressCall& o) const {
        return done == o.done && total == o.total && has_text == o.has_text && text == o.text;
    }
};

inline std::ostream& operator<<(std::ostream& out, const ProgressCall& c) {
    out << c.done << "/" << c.total;
    if (c.has_text) out << " \"" << c.text << "\"";
    return out;
}

// A report with a text, and one that only moves the bar.
inline ProgressCall Shown(uint32_t done, uint32_t total, const std::string& text) {
    return ProgressCall{done, total, true, text};
}
inline ProgressCall Moved(uint32_t done, uint32_t total) { return ProgressCall{done, total, false, ""}; }

class ProgressRecorder : public AProgressbar {
public:
    int Progress(uint32_t done, uint32_t total, const char* text) override {
        calls.push_back(ProgressCall{done, total, text != 0, text ? text : ""});
        return 1;
    }
    std::vector<ProgressCall> calls;
};

#endif
