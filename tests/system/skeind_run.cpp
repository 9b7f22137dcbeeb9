#include "tests/system/skeind_run.h"

#include <algorithm>

#include "observe/datagram.h"
#include "store/nodedb.h"
#include "tools/shimsend/script.h"

namespace {

const char kMainClass[] = "QMR Skeindle";
const char kMapClass[] = "lumvane-graph-window";

}  // namespace

bool MakeWorkspace(const std::string& path, const std::vector<const char*>& pinned) {
    NodeDb db;
    if (!db.CreateWorkspace(path.c_str())) return false;
    for (const char* url : pinned) db.SetFlags(db.FindNode(url, true), Pinned);
    return true;
}

std::vector<std::string> LinksOf(NodeDb& db, NodeId page) {
    std::vector<std::string> links;
    for (LinkId l = db.FirstOut(page); l; l = db.NextLink(l))
        links.push_back(std::to_string(db.LinkKindOf(l)) + " " + db.Text(db.Name(db.LinkNode(l))));
    std::sort(links.begin(), links.end());
    return links;
}

bool SendShimScript(const std::string& script, std::string* error) {
    std::vector<ScriptDatagram> datagrams;
    if (!BuildShimScript(script, &datagrams, error)) return false;
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(kShimPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool sent = s != INVALID_SOCKET;
    for (size_t i = 0; sent && i < datagrams.size(); ++i) {
        const std::vector<uint8_t>& bytes = datagrams[i].bytes;
        sent = sendto(s, (const char*)bytes.data(), (int)bytes.size(), 0, (const sockaddr*)&to, sizeof to) ==
               (int)bytes.size();
    }
    if (!sent) *error = "sendto failed: " + std::to_string(WSAGetLastError());
    closesocket(s);
    WSACleanup();
    return sent;
}

bool SkeindRun::Start(const std::string& args, const std::string& dir) {
    return program_.Start(BesideThisProgram("skeind.exe"), args, dir);
}

HWND SkeindRun::StartOn(const std::string& workspace, const std::string& dir, bool decline_offer) {
    if (!Start(workspace, dir) || !WaitForMain()) return 0;
    if (decline_offer && !DeclineBrowserOffer()) return 0;
    return main_;
}

HWND SkeindRun::WaitForMain() {
    main_ = ProbeWaitForWindow(kMainClass, 0, program_.pid(), kSystemTimeout);
    return main_;
}

HWND SkeindRun::Map() const {
    return main_ ? FindWindowExA(main_, 0, kMapClass, 0) : 0;
}

bool SkeindRun::DeclineBrowserOffer() {
    HWND offer = ProbeWaitForWindow("#32770", "Start Web Browser", program_.pid(), kSystemTimeout);
    if (!offer) return false;
    return PostMessageA(offer, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(offer, IDCANCEL)) != 0;
}

bool SkeindRun::NextBox(ProbeMessageBox* box, int timeout_ms) {
    return ProbeWaitForMessageBox(program_.pid(), timeout_ms, box);
}

void SkeindRun::PressKey(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

std::string SkeindRun::WaitForStatus(const std::string& want) {
    std::string got;
    for (int waited = 0; waited < kSystemTimeout; waited += 50) {
        got = ProbeStatusText(main_);
        if (got == want) break;
        Sleep(50);
    }
    return got;
}

DWORD SkeindRun::ExitCode(int timeout_ms) {
    DWORD code = kDidNotEnd;
    if (!program_.WaitForExit(timeout_ms, &code)) return kDidNotEnd;
    return code;
}

DWORD SkeindRun::Close() {
    if (!main_ || !ProbeCloseWindow(main_)) return kDidNotEnd;
    return ExitCode();
}
