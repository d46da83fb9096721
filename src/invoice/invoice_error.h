#pragma once

#include <stdexcept>
#include <string>

namespace telvano::invoice {

// A failure of one invoice; what() is the text the POS finds in the error file.
class InvoiceError : public std::runtime_error {
 public:
  explicit InvoiceError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace telvano::invoice
