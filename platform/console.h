// The console: all normal output and prompts go to standard output, fatal
// messages to standard error, input is read line by line. Tests attach their
// own streams to feed answers and read what was printed.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class Console {
public:
    Console();

    // Output on standard output; texts are UTF-8.
    void write(std::string_view text);
    void line(std::string_view text = {});
    // A prompt stays on its line and is flushed before anything is read.
    void prompt(std::string_view text);
    // A line on standard error.
    void error(std::string_view text);
    void flush();

    // Reads one line (without its line end); a UTF-8 byte-order mark at the
    // very start of the input is passed over. End of input ends the run with a
    // fatal message that names the prompt that was waiting.
    std::string read_line();

    // The waiting prompt named in the end-of-input message.
    const std::string& last_prompt() const { return last_prompt_; }

    void attach(std::istream& in, std::ostream& out, std::ostream& err);
    void attach_standard_streams();

private:
    std::istream* in_;
    std::ostream* out_;
    std::ostream* err_;
    std::string last_prompt_;
    bool at_line_start_ = true;
    bool at_input_start_ = true;
};

Console& console();

// Asks `question` until `accept(answer)` gives a value (an optional that is
// set) and returns that value; after an answer refused, `refused` is printed
// when it is not empty. End of input ends the run in read_line, so this never
// loops without input.
template <typename Accept>
auto ask_until(std::string_view question, Accept accept, std::string_view refused = {}) {
    Console& con = console();
    for (;;) {
        con.prompt(question);
        if (auto value = accept(con.read_line())) return *value;
        if (!refused.empty()) con.line(refused);
    }
}

// Asks `question` once: a positive finite number answered, or nullopt (an
// empty or other answer keeps the caller's proposal).
std::optional<double> ask_positive(std::string_view question);

}  // namespace platform
