#include "browser/served_verbs.h"

#include <string.h>

#include <string>

#include "browser/dde_args.h"
#include "browser/verb_table.h"
#include "observe/url.h"

namespace {

ServedVerb Answer(uint32_t answer, Message* message, bool replies = true) {
    ServedVerb v = {replies, answer, message};
    return v;
}

// The canonical form of a URL without its fragment; always a text.
std::string CanonicalWithoutFragment(const char* url) {
    std::string text = url ? url : "";
    size_t hash = text.find('#');
    if (hash != std::string::npos) text.resize(hash);
    UrlBuffer canonical;
    CanonicalUrl(text.c_str(), &canonical);
    return canonical.text;
}

Message* UrlEchoMessage(DdeArgReader& args) {
    const char* url = args.ReadString();
    std::string canonical = CanonicalWithoutFragment(url);
    const char* mime = args.ReadString();
    uint32_t window = args.ReadNumber();
    std::string parent = CanonicalWithoutFragment(args.ReadString());
    return new MUrlEcho(canonical.c_str(), mime, window, parent.c_str());
}

ServedVerb Request(int verb, DdeArgReader& args) {
    switch (verb) {
    case WWW_BeginProgress: {
        // The window number is the transaction id the browser uses later.
        uint32_t window = args.ReadNumber();
        const char* text = args.ReadString();
        return Answer(window, new MBeginProgress(window, text));
    }
    case WWW_MakingProgress: {
        uint32_t id = args.ReadNumber();
        const char* text = args.ReadString();
        uint32_t progress = args.ReadNumber();
        return Answer(0, new MMakingProgress(id, text, progress));  // 0: go on
    }
    case WWW_EndProgress:
        return Answer(1, new MEndProgress(args.ReadNumber()));
    default:
        return Answer(0, 0, false);
    }
}

ServedVerb Poke(int verb, DdeArgReader& args) {
    switch (verb) {
    case WWW_BeginProgress: {
        uint32_t window = args.ReadNumber();
        return Answer(0, new MBeginProgress(window, args.ReadString()));
    }
    case WWW_SetProgressRange: {
        uint32_t id = args.ReadNumber();
        return Answer(0, new MSetProgressRange(id, args.ReadNumber()));
    }
    case WWW_EndProgress:
        return Answer(0, new MEndProgress(args.ReadNumber()));
    case WWW_OpenURLResult: {
        uint32_t transaction = args.ReadNumber();
        return Answer(kDdeAck, new MOpenUrlResult(transaction, args.ReadNumber()));
    }
    case WWW_URLEcho:
        return Answer(kDdeAck, UrlEchoMessage(args));
    default:
        return Answer(0, 0);
    }
}

}  // namespace

ServedVerb ServeVerb(int verb, ServedKind kind, const char* item) {
    DdeArgReader args(item);
    return kind == ServedRequest ? Request(verb, args) : Poke(verb, args);
}
