#include "board_options.h"

#include "flash_chip.h"
#include "usb_adapter.h"

#include <cctype>
#include <charconv>
#include <optional>

namespace brindle::board {

namespace {

std::optional<int> parseCount(const std::string& text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 0)
        return std::nullopt;
    return value;
}

// Turns \r, \n, \t, \\ and \xHH into their characters, so that line ends can be given.
std::optional<std::string> unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case 'r': out.push_back('\r'); break;
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case '\\': out.push_back('\\'); break;
        case 'x': {
            if (i + 2 >= text.size())
                return std::nullopt;
            int value = 0;
            const auto [ptr, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
            if (ec != std::errc() || ptr != text.data() + i + 3)
                return std::nullopt;
            out.push_back(static_cast<char>(value));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

bool isLetter(const std::string& text)
{
    return text.size() == 1 && std::isupper(static_cast<unsigned char>(text[0]));
}

// Applies one option that takes a value; false when the value is bad.
bool applyValue(const std::string& name, const std::string& value, BoardOptions& o)
{
    if (name == "--chip") {
        if (value != "none" && !findChipType(value))
            return false;
        o.chip = value;
        return true;
    }
    if (name == "--erase-ms" || name == "--block-ms" || name == "--short-block"
        || name == "--hang-up-after" || name == "--fail-block") {
        const auto n = parseCount(value);
        if (!n)
            return false;
        (name == "--erase-ms"      ? o.eraseDelayMs
         : name == "--block-ms"    ? o.blockDelayMs
         : name == "--short-block" ? o.shortBlock
         : name == "--fail-block"  ? o.failBlock
                                   : o.hangUpAfterBlocks) = *n;
        return true;
    }
    if (name == "--adapter") {
        if (!adapterModel(value))
            return false;
        o.adapter = value;
        return true;
    }
    if (name == "--latency-ms") {
        // The range FTDI's chips take.
        const auto n = parseCount(value);
        if (!n || *n < 1 || *n > 255)
            return false;
        o.latencyMs = *n;
        return true;
    }
    if (name == "--silent-after") {
        if (!isLetter(value))
            return false;
        o.silentAfter = value[0];
        return true;
    }
    if (name == "--wrong-reply") {
        const auto text = unescape(value.substr(std::min<std::size_t>(2, value.size())));
        if (value.size() < 2 || !isLetter(value.substr(0, 1)) || value[1] != '=' || !text)
            return false;
        o.wrongReplyFor = value[0];
        o.wrongReply = *text;
        return true;
    }
    if (name == "--read-status") {
        const auto text = unescape(value);
        if (!text || text->empty())
            return false;
        o.readStatus = *text;
        return true;
    }
    if (name == "--extra") {
        const auto text = unescape(value);
        if (!text)
            return false;
        o.extraAfterReply = *text;
        return true;
    }
    return false;
}

bool takesValue(const std::string& name)
{
    for (const char* known : {"--chip", "--erase-ms", "--block-ms", "--silent-after",
                              "--wrong-reply", "--short-block", "--extra", "--hang-up-after",
                              "--fail-block", "--adapter", "--latency-ms", "--read-status"}) {
        if (name == known)
            return true;
    }
    return false;
}

} // namespace

bool parseBoardOptions(const std::vector<std::string>& args, BoardOptions* options,
                       std::string* error)
{
    BoardOptions o = *options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--pace" || name == "--no-pace" || name == "--lower-case") {
            if (value) {
                *error = "option " + name + " takes no value";
                return false;
            }
            (name == "--lower-case" ? o.lowerCase : o.pacing) = name != "--no-pace";
            continue;
        }
        if (!takesValue(name)) {
            *error = "unknown option " + args[i];
            return false;
        }
        if (!value) {
            if (i + 1 == args.size()) {
                *error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!applyValue(name, *value, o)) {
            *error = "bad value for " + name + ": " + *value;
            return false;
        }
    }
    if (o.latencyMs > 0 && o.adapter != "ftdi") {
        *error = "--latency-ms sets the ftdi adapter's timer: it goes with --adapter ftdi";
        return false;
    }
    *options = o;
    return true;
}

std::string boardOptionsHelp()
{
    return "  --chip NAME         chip in the socket: AT89C1051, AT89C2051, AT89C4051, AT89C51,\n"
           "                      AT89C52, AT89S8252, AT89S51, AT89S52 (default), AT89C55WD,\n"
           "                      or none for an empty socket\n"
           "  --pace, --no-pace   19200 baud line rate both ways, or as fast as possible\n"
           "                      (the default)\n"
           "  --erase-ms N        time an erase takes\n"
           "  --block-ms N        time programming one 32-byte block takes\n"
           + adapterOptionsHelp() +
           "Faults, for tests (TEXT may hold \\r, \\n, \\t, \\\\ and \\xHH):\n"
           "  --silent-after L    say nothing from command letter L on\n"
           "  --wrong-reply L=TEXT  answer command letter L with TEXT\n"
           "  --short-block N     send read block N (from 0) as 4 characters and CR LF\n"
           "  --lower-case        send read data in lower-case hexadecimal\n"
           "  --extra TEXT        append TEXT to every reply\n"
           "  --hang-up-after N   close the line once a write or read has passed N blocks\n"
           "  --fail-block N      answer write block N with \"w\", as a chip that will not take it\n"
           "  --read-status TEXT  end a read with TEXT in place of its status letter\n";
}

bool applyAdapterOptions(const std::string& adapter, const std::string& latencyMs, BoardOptions* options,
                         std::string* error)
{
    std::vector<std::string> args{"--adapter", adapter};
    if (!latencyMs.empty())
        args.insert(args.end(), {"--latency-ms", latencyMs});
    return parseBoardOptions(args, options, error);
}

std::string adapterOptionsHelp()
{
    return "  --adapter NAME      the USB serial adapter between board and program: none\n"
           "                      (default; bytes arrive as the board sends them), ftdi\n"
           "                      (held until 62 wait or its latency timer runs out), ch340\n"
           "                      or pl2303 (held about 1 ms)\n"
           "  --latency-ms N      the ftdi adapter's latency timer, 1 to 255 ms (default 16)\n";
}

} // namespace brindle::board
