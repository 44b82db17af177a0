// Image banks for tests: owned by a unique_ptr that destroys the bank.
#pragma once

#include <memory>

#include <vexa/image_bank.h>

namespace testsupport {

struct BankDeleter {
  void operator()(ImageBank* bank) const { DestroyImageBank(bank); }
};
using BankPtr = std::unique_ptr<ImageBank, BankDeleter>;

// A new bank whose images are stored in the pixel format of `mode` (8: 32 bits).
inline BankPtr NewBank(int mode = 8) {
  BankPtr bank(CreateImageBank(0, nullptr));
  if (bank) SetImageBankFormat(bank.get(), mode);
  return bank;
}

}  // namespace testsupport
