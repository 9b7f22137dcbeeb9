// The stand-in browser (tools/testbrowser) as a second process: started
// with a service name and kind, driven by lines on its standard input,
// and read back through the log of every transaction it received.
#ifndef SKEIND_TESTS_BROWSER_TEST_BROWSER_PROCESS_H
#define SKEIND_TESTS_BROWSER_TEST_BROWSER_PROCESS_H

#include <windows.h>

#include <string>
#include <vector>

// Dispatches this thread's messages for `ms` milliseconds: DDE works
// through them.
void PumpMessages(int ms);

class TestBrowserProcess {
public:
    TestBrowserProcess() : process_(0), input_(0), marks_(0) {}
    ~TestBrowserProcess();

    // Starts testbrowser.exe with `args` (the log option is added) and
    // waits until its service is up.
    bool Start(const std::string& log_path, const std::string& args);
    void Send(const std::string& line);
    // Waits, pumping messages, until the browser has handled every line
    // sent so far.
    bool Sync();
    // Waits, pumping messages, for a log line that begins with `prefix`.
    bool WaitFor(const std::string& prefix, int timeout_ms = 5000);
    std::vector<std::string> Lines() const;
    // The log lines that begin with `prefix`, in order.
    std::vector<std::string> LinesStarting(const std::string& prefix) const;
    void Stop();

private:
    TestBrowserProcess(const TestBrowserProcess&);
    TestBrowserProcess& operator=(const TestBrowserProcess&);
    HANDLE process_;
    HANDLE input_;
    std::string log_path_;
    int marks_;
};

#endif
