#pragma once
// The file choices of the program answered by the desktop's file dialogs;
// installed by the application object.
#include "platform/FileChooser.h"

namespace smt::platform {

class QtFileChooser : public FileChooser {
 public:
  std::vector<std::string> Choose(QWidget* parent, const FileRequest& request) override;
};

}  // namespace smt::platform
