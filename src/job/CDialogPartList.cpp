#include "job/CDialogPartList.h"

CDialogPartList::CDialogPartList(QWidget* parent) : QWidget(parent) { setObjectName("CDialogPartList"); }

void CDialogPartList::LoadLanguage(const std::string& /*appDir*/, const std::string& /*language*/) {}

void CDialogPartList::ApplyLanguageTexts() {}
