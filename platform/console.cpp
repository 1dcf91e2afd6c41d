#include "platform/console.h"

#include <cmath>
#include <iostream>

#include "platform/fatal.h"
#include "platform/freeformat.h"

namespace platform {

Console::Console() : in_(&std::cin), out_(&std::cout), err_(&std::cerr) {}

void Console::write(std::string_view text) {
    if (text.empty()) return;
    out_->write(text.data(), static_cast<std::streamsize>(text.size()));
    at_line_start_ = text.back() == '\n';
}

void Console::line(std::string_view text) {
    write(text);
    out_->put('\n');
    at_line_start_ = true;
}

void Console::prompt(std::string_view text) {
    write(text);
    out_->flush();
    // The name of the prompt is its text without the blanks around it.
    auto first = text.find_first_not_of(' ');
    auto last = text.find_last_not_of(' ');
    last_prompt_ = first == std::string_view::npos ? std::string() : std::string(text.substr(first, last - first + 1));
}

void Console::error(std::string_view text) {
    out_->flush();
    err_->write(text.data(), static_cast<std::streamsize>(text.size()));
    err_->put('\n');
    err_->flush();
}

void Console::flush() { out_->flush(); }

std::string Console::read_line() {
    out_->flush();
    std::string text;
    if (!std::getline(*in_, text)) {
        // The answer that never came leaves the prompt line open: close it first.
        if (!at_line_start_) line();
        std::string what = last_prompt_.empty() ? std::string("Eingabe") : "\"" + last_prompt_ + "\"";
        fatal("MURAL", "Eingabe zu Ende bei der Abfrage " + what);
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
    // Some editors write a byte-order mark before the first line of a file.
    if (at_input_start_ && text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    at_input_start_ = false;
    // The echo of a terminal ended the prompt line.
    at_line_start_ = true;
    return text;
}

void Console::attach(std::istream& in, std::ostream& out, std::ostream& err) {
    in_ = &in;
    out_ = &out;
    err_ = &err;
    last_prompt_.clear();
    at_line_start_ = true;
    at_input_start_ = true;
}

void Console::attach_standard_streams() { attach(std::cin, std::cout, std::cerr); }

Console& console() {
    static Console instance;
    return instance;
}

std::optional<double> ask_positive(std::string_view question) {
    Console& con = console();
    con.prompt(question);
    const std::optional<double> value = first_real(con.read_line());
    if (value && *value > 0.0 && std::isfinite(*value)) return value;
    return std::nullopt;
}

}  // namespace platform
