#pragma once
// Image holder of the camera views: one 8-bit image (1, 3 or 4 channels)
// kept bottom row first, the row order of a bottom-up bitmap, with create,
// load, save, copy, fill and painting into a widget.
#include <QImage>
#include <QRect>
#include <opencv2/core.hpp>
#include <string>

class QPainter;

class CvvMat {
 public:
  CvvMat() = default;
  virtual ~CvvMat();

  // Refuses unless bits is 8, 24 or 32, width and height are 1..9999 and
  // origin is 0 or 1; keeps the image when channels and size already match,
  // else a zero image. True when the image is not empty.
  virtual bool Create(int width, int height, int bitsPerPixel, int origin);
  virtual bool Load(const std::string& fileName, bool flip = false);
  // Window rectangle form (left, top, right, bottom).
  virtual bool LoadRect(const std::string& fileName, bool flip, int left, int top, int right, int bottom,
                        bool windowRect);
  // x, y, width, height; width or height 0 = whole image; clipped to the image.
  virtual bool LoadRect(const std::string& fileName, bool flip, const cv::Rect& rect);
  virtual bool Save(const std::string& fileName) const;
  // Takes a clone of the image and flips it about the horizontal axis.
  virtual void CopyOf(const cv::Mat& image, bool flip = false);
  virtual void CopyOf(const CvvMat& other, bool flip = false);
  virtual void Destroy();
  // Packed colour: byte 0 is the first channel.
  virtual void Fill(unsigned int packedColour);
  // Paints the held image into the rectangle (given in any corner order):
  // unscaled when the sizes match, else stretched (smooth when shrinking).
  // Nothing for an empty image or one that is not 8-bit.
  virtual void DrawToPainter(QPainter& painter, QRect rect) const;

  // The held image as a top-down RGB or grey picture (empty when none).
  QImage ToQImage() const;
  bool IsEmpty() const { return m_image.empty(); }
  int Width() const { return m_image.cols; }
  int Height() const { return m_image.rows; }
  int Channels() const { return m_image.channels(); }
  const cv::Mat& Image() const { return m_image; }
  cv::Mat& Image() { return m_image; }

 protected:
  cv::Mat m_image;
};

// Converts a top-down OpenCV image (grey, BGR or BGRA, 8-bit) to a QImage copy.
QImage MatToQImage(const cv::Mat& image);
