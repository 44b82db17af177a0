// Image banks for tests, destroyed with their owner.
#pragma once

#include <memory>

#include <vexa/image_bank.h>

namespace testsupport {

struct BankDeleter {
  void operator()(ImageBank* bank) const { DestroyImageBank(bank); }
};
using BankPtr = std::unique_ptr<ImageBank, BankDeleter>;

// A bank of the given mode code (3, 4, 6, 7 or 8), or null when memory runs out.
inline BankPtr NewBank(int mode) {
  BankPtr bank(CreateImageBank(0, nullptr));
  if (bank) SetImageBankFormat(bank.get(), mode);
  return bank;
}

}  // namespace testsupport
