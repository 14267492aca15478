#include "support/support_module.h"

#include "support/dictionary.h"

namespace tessaline {

void SupportStartup() {
  if (Dict != nullptr) return;
  Dict = new TDictionary();
  CommonPage = Dict->GetPage("Common");
  MessagePage = Dict->GetPage("Message");
}

void SupportShutdown() {
  // Clear the page pointers first: they are owned by Dict and die with it.
  CommonPage = nullptr;
  MessagePage = nullptr;
  FreeAndClear(Dict);
}

}  // namespace tessaline
