#include "netcontrol/reply_words.h"

namespace vaxo {

std::string InReplyWords(ReplyWords words, const std::string& line) {
    const bool done = line == "+" || line == "/";
    if (words == ReplyWords::Signs || (!done && line != "-" && line != "!")) {
        return line;
    }
    if (words == ReplyWords::OkNo) {
        return done ? "OK" : "NO";
    }
    return done ? "[OK]" : "[ERR]";
}

}  // namespace vaxo
