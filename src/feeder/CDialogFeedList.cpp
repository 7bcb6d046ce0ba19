#include "feeder/CDialogFeedList.h"

CDialogFeedList::CDialogFeedList(QWidget* parent) : QWidget(parent) { setObjectName("CDialogFeedList"); }

void CDialogFeedList::LoadLanguage(const std::string& /*appDir*/, const std::string& /*language*/) {}

void CDialogFeedList::ApplyLanguageTexts() {}
