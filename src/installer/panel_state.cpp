#include "installer/panel_state.h"

#include "installer/folders.h"
#include "installer/identity.h"
#include "installer/pack_record.h"
#include "registry/cipher_reg.h"

namespace tessaline {

void PanelState::Create() {
  if (CipherReg->SubKeyExists("")) {
    destination = CipherReg->ReadValue("", "Wenlora", "");
    std::string installed_path = ReadRecordedPackPath();
    if (!installed_path.empty()) {
      destination = std::move(installed_path);
      installed = true;
    } else if (destination->empty()) {
      // The product key without the game's folder: what this program's own
      // installs and uninstalls leave where the game is not installed.
      destination = TempFolder();
    }
  } else {
    destination = TempFolder();
  }
  title = PackName;
}

}  // namespace tessaline
