// The dialog's answers, read word by word from a stream with the dialog's
// rules, for the console run (which shows its questions) and for the batch
// command (which reads the very answers one would pipe into the console
// program, and shows nothing):
//
// - an answer is one whitespace-delimited word;
// - a name holding a control character (a NUL would cut the path short and
//   name another file) is refused and asked again;
// - an integer is a decimal one of the signed 32-bit range; any other word is
//   dropped and the question asked again;
// - the water-body menu is asked again while its answer is above 1, and only
//   1 means water bodies;
// - the end of the input in the middle of the dialog ends the reading (false),
//   instead of going on with answers nobody gave.
//
// Every try consumes a word, so a reading ends at the latest with the input.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

#include "compute/channel_inputs.hpp"

// What the dialog says around its reading. The console prints the question
// before every try and tells why a name was refused and that the answers ran
// out; this base class says nothing.
class DialogVoice {
public:
    virtual ~DialogVoice() = default;
    virtual void ask(std::string_view /*question*/) {}
    virtual void name_refused() {}
    virtual void answers_ended() {}
};

class AnswerReader {
public:
    AnswerReader(std::istream& in, DialogVoice& voice) : in_(in), voice_(voice) {}
    AnswerReader(const AnswerReader&) = delete;
    AnswerReader& operator=(const AnswerReader&) = delete;

    // False at the end of the input (the voice has said so).
    bool name(std::string_view question, std::string& name);
    bool integer(std::string_view question, int32_t& value);
    bool water_bodies(std::string_view menu, bool& present);

private:
    bool next_word(std::string_view question, std::string& word);

    std::istream& in_;
    DialogVoice& voice_;
};

// The questions of the parameter dialog; the batch command leaves them empty.
struct ParameterQuestions {
    std::string_view zone_tone;
    std::string_view railing_tone;
    std::string_view railing_height;
    std::string_view contour_tone;
    std::string_view contour_altitude;
    std::string_view perimeter_tone;  // asked only with water bodies
};

// The grey tones and heights in the dialog's order into `parameters`, whose
// water_bodies says whether the perimeter's tone is asked. False when the
// answers end first.
bool read_parameters(AnswerReader& reader, const ParameterQuestions& questions, ChannelParameters& parameters);

// True, with its value, when `word` is a decimal integer (optional sign,
// digits, nothing else) within the signed 32-bit range.
bool parse_decimal_int32(const std::string& word, int32_t& value);

// True when `name` holds no byte below 32 and no DEL.
bool name_is_printable(std::string_view name);

// The one rule of a name a program takes for the dialog's names (the folder,
// the rasters, the result), whoever gives it: what the dialog reads as one
// answer, a word that is not empty and holds no control character (a NUL
// would cut the path short and name another file; a line end or an escape
// would garble every message that names it).
bool name_is_acceptable(std::string_view name);
