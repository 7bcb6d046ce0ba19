#include "vision/CDialogSetView.h"

CDialogSetView::CDialogSetView(QWidget* parent) : QWidget(parent) { setObjectName("CDialogSetView"); }

void CDialogSetView::LoadLanguage(const std::string& /*appDir*/, const std::string& /*language*/) {}

void CDialogSetView::ApplyLanguageTexts() {}
