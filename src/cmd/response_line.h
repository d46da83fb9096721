#pragma once

#include <string>
#include <vector>

namespace telvano::cmd {

// Joins the fields of one response line for the POS: fields are separated by commas; a field holding a
// character with code 1 to 32, a comma or a double quote is enclosed in double quotes with each inner double
// quote doubled; every other field (the empty one included) is written as it is. A line of a single empty
// field is written as two double quotes, so the POS still sees a line with one (empty) field.
std::string JoinResponseFields(const std::vector<std::string>& fields);

// One field as it appears in a response line (quoted when needed).
std::string QuoteResponseField(const std::string& field);

}  // namespace telvano::cmd
