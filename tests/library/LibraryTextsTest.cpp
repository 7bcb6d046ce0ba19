// The libraries' dialogs take their texts from the language files, with the
// built-in Chinese texts when a key is missing.
#include <gtest/gtest.h>

#include <filesystem>

#include "LibraryTestSupport.h"
#include "library/CDialogDoubleMarkTest.h"
#include "library/CDialogMarkList.h"
#include "library/CDialogNozzleList.h"
#include "library/CDialogOriginUpdate.h"
#include "library/CDialogPackEdit.h"
#include "library/CDialogPackList.h"

using namespace smt::library;

TEST(LibraryTexts, EveryLanguageFileGivesTheDialogsTheirTexts) {
  const auto dir = librarytest::ScratchDir("texts");
  for (const char* lang : {"Chinese", "English", "German"})
    std::filesystem::copy_file(std::filesystem::path(SMT_SOURCE_DIR) / "resources/lang/library" / (std::string(lang) + ".ini"),
                               dir / (std::string(lang) + ".ini"));
  struct Case {
    const char* language;
    const char* nozzleTitle;
    const char* packMessage;
    const char* originTitle;
  } cases[] = {
      {"Chinese", "吸嘴库管理", "请选择吸嘴 !", "原点坐标更新"},
      {"English", "Nozzle library", "Please choose a nozzle!", "Origin update"},
      {"German", "Düsenbibliothek", "Bitte eine Düse wählen!", "Ursprungsaktualisierung"},
      {"Missing", "吸嘴库管理", "请选择吸嘴 !", "原点坐标更新"},
  };
  librarytest::UseStrategy(0, 0, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    NozzleLibrary nozzles;
    CDialogNozzleList::Environment ne;
    ne.appDir = dir.string();
    ne.language = c.language;
    CDialogNozzleList nd(nozzles, smt::CurrentMachine(), ne);
    EXPECT_EQ(nd.windowTitle().toStdString(), c.nozzleTitle);
    PackEditFields f;
    CDialogPackEdit::Environment pe;
    pe.appDir = dir.string();
    pe.language = c.language;
    CDialogPackEdit pd(f, pe);
    EXPECT_EQ(pd.Text("c_Message_03"), c.packMessage);
    OriginUpdateSettings o;
    CDialogOriginUpdate::Environment oe;
    oe.appDir = dir.string();
    oe.language = c.language;
    CDialogOriginUpdate od(o, oe);
    EXPECT_EQ(od.windowTitle().toStdString(), c.originTitle);
  }
  smt::library::SetNozzleStrategySource(smt::CurrentMachine(), {});
}
