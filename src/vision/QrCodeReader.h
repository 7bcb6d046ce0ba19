#pragma once
// The program's one QR-code reader. With the four network model files
// installed it uses them (detection and super-resolution networks); without
// them, or when they cannot be loaded, it reads with the detector's own
// classic detection, so that QR reading works on a fresh install. The reader
// and its libraries come from the plugin in CvExtra.h.
#include <atomic>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

enum class QrReaderMode { Off, WithoutModels, WithModels };
QrReaderMode CurrentQrReaderMode();

// The four model paths in the detector's order: "detect.prototxt",
// "detect.caffemodel", "sr.prototxt", "sr.caffemodel" under `directory`
// (empty = "./Model/"; a missing "/" or "\" at the end is added).
std::vector<std::string> QrModelPaths(const std::string& directory);

// Builds the reader (replacing any previous one): with the models when all
// four are there and load, else without them, with one log line saying why
// (a missing file named, or the load's error). True when the reader works.
bool CreateQrCodeReader(const std::string& directory);

// What the program does at start-up: names the model directory and leaves
// the building (CreateQrCodeReader) to the first call of CurrentQrReaderMode,
// QrReaderStatus or ReadQrCodes, so the window opens without the reader's
// libraries.
void CreateQrCodeReaderOnFirstUse(const std::string& directory);

// The last line CreateQrCodeReader wrote ("" after loading the models).
std::string QrReaderStatus();

// Decodes every code in the frame with the reader. False with the log line
// "load model failed !" while there is no reader at all.
bool ReadQrCodes(const cv::Mat& frame, std::vector<std::string>& texts);
