#include "installer/panel_state.h"

#include "installer/folders.h"
#include "installer/identity.h"
#include "registry/cipher_reg.h"

namespace tessaline {

void PanelState::Create() {
  if (CipherReg->SubKeyExists("")) {
    dir_n = CipherReg->ReadValue("", "Wenlora", "");
    const std::string installed_path =
        CipherReg->ReadValue("Pack", "Pack" + std::to_string(PackNo), "");
    if (!installed_path.empty()) {
      dir_n = installed_path;
      install_caption = "Reinstall pack";
      prompt = "Pack allready installed.";
    }
  } else {
    dir_n = TempFolder();
  }
  title = PackName;
  caption = title;
  application_title = title;
}

}  // namespace tessaline
