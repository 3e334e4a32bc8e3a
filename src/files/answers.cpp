#include "files/answers.hpp"

#include <cerrno>
#include <cstdlib>
#include <limits>

bool parse_decimal_int32(const std::string& word, int32_t& value) {
    std::size_t k = 0;
    if (k < word.size() && (word[k] == '+' || word[k] == '-')) ++k;
    if (k == word.size()) return false;
    for (std::size_t d = k; d < word.size(); ++d)
        if (word[d] < '0' || word[d] > '9') return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(word.c_str(), &end, 10);
    if (errno == ERANGE || parsed < std::numeric_limits<int32_t>::min() ||
        parsed > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool name_is_printable(std::string_view name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127) return false;
    }
    return true;
}

bool name_is_acceptable(std::string_view name) {
    return !name.empty() && name_is_printable(name) && name.find(' ') == std::string_view::npos;
}

bool AnswerReader::next_word(std::string_view question, std::string& word) {
    voice_.ask(question);
    if (in_ >> word) return true;
    voice_.answers_ended();
    return false;
}

bool AnswerReader::name(std::string_view question, std::string& name) {
    for (;;) {
        if (!next_word(question, name)) return false;
        if (name_is_acceptable(name)) return true;
        voice_.name_refused();
    }
}

bool AnswerReader::integer(std::string_view question, int32_t& value) {
    std::string word;
    for (;;) {
        if (!next_word(question, word)) return false;
        if (parse_decimal_int32(word, value)) return true;
    }
}

bool AnswerReader::water_bodies(std::string_view menu, bool& present) {
    int32_t presence = 0;
    do {
        if (!integer(menu, presence)) return false;
    } while (presence > 1);
    present = presence == 1;
    return true;
}

bool read_parameters(AnswerReader& reader, const ParameterQuestions& questions, ChannelParameters& parameters) {
    return reader.integer(questions.zone_tone, parameters.zone_tone) &&
           reader.integer(questions.railing_tone, parameters.railing_tone) &&
           reader.integer(questions.railing_height, parameters.railing_height) &&
           reader.integer(questions.contour_tone, parameters.contour_tone) &&
           reader.integer(questions.contour_altitude, parameters.contour_altitude) &&
           (!parameters.water_bodies || reader.integer(questions.perimeter_tone, parameters.perimeter_tone));
}
