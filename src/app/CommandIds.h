#pragma once
// Command numbers of the main menu, the toolbar and the drop-down menus.
// They are the numbers the language files, the machine and the operators'
// habits know the commands by.
namespace smt::app::cmd {

// File, edit, view, help (framework numbers).
inline constexpr int kFileNew = 57600;
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSave = 57603;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kFilePrintSetup = 57606;
inline constexpr int kFilePrint = 57607;
inline constexpr int kFilePrintPreview = 57609;
inline constexpr int kFileMru1 = 57616;
inline constexpr int kAppExit = 57665;
inline constexpr int kAppAbout = 57664;
inline constexpr int kEditUndo = 57643;
inline constexpr int kEditCut = 57635;
inline constexpr int kEditCopy = 57634;
inline constexpr int kEditPaste = 57637;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;

// Settings menu (also the toolbar's settings drop-down).
inline constexpr int kSetBasic = 32841;
inline constexpr int kDippingStation = 33291;
inline constexpr int kFeedGroup = 32857;
inline constexpr int kSpeedSet = 32921;
inline constexpr int kHighSpeedTemplate = 32864;
inline constexpr int kMediumSpeedTemplate = 32862;
inline constexpr int kLowSpeedTemplate = 32863;
inline constexpr int kCameraList = 32851;
inline constexpr int kNozzleList = 32853;
inline constexpr int kSetPulse = 32843;
inline constexpr int kOftenData = 32856;
inline constexpr int kPackData = 33062;
inline constexpr int kMarkData = 33125;
inline constexpr int kLampMachineSet = 33185;

// Feeder menu.
inline constexpr int kAutoFeed = 33100;
inline constexpr int kAutoTransport = 33181;
inline constexpr int kLabelingSet = 33338;

// Help menu.
inline constexpr int kLanguageChinese = 32913;
inline constexpr int kLanguageEnglish = 32914;
inline constexpr int kLanguageGerman = 33087;
inline constexpr int kCpuVersionNumber = 33183;
inline constexpr int kSoftwareUpdate = 33215;
inline constexpr int kFirmwareUpdate = 33211;

// Machine types 0..10, in menu order.
inline constexpr int kMachineTypeCommands[11] = {33038, 33040, 33041, 33042, 33146, 33175,
                                                 33179, 33187, 33320, 33307, 33336};

// Main toolbar.
inline constexpr int kToolGoTo = 32892;
inline constexpr int kToolSettings = 32885;
inline constexpr int kShowFeedList = 32813;
inline constexpr int kShowPartList = 32891;

// Go-to drop-down.
inline constexpr int kGoHome = 32909;
inline constexpr int kGoCameraToVisionOrigin = 33105;
inline constexpr int kGoNozzleToThrow[8] = {33117, 33121, 33122, 33123, 33206, 33207, 33208, 33209};
inline constexpr int kGoCameraToPcbOrigin = 32903;
inline constexpr int kGoCameraToMark1 = 32904;
inline constexpr int kGoCameraToMark2 = 32905;
inline constexpr int kGoNozzleToPcbOrigin[8] = {32993, 32998, 33070, 33076, 33194, 33195, 33196, 33197};
inline constexpr int kGoNozzleToVisionCamera1[8] = {32995, 33000, 33072, 33078, 33198, 33199, 33200, 33201};
inline constexpr int kGoNozzleToVisionCamera2[8] = {32994, 33002, 33074, 33080, 33202, 33203, 33204, 33205};
inline constexpr int kGoFourHeadsToVisionCamera2 = 33132;
inline constexpr int kGoMeasuringHeadToVisionCamera1 = 33288;

}  // namespace smt::app::cmd
