#include "vision/CvvMat.h"
#include "vision/ImageFiles.h"

#include <QPainter>
#include <utility>
#include <opencv2/imgproc.hpp>

CvvMat::~CvvMat() { m_image.release(); }

bool CvvMat::Create(int width, int height, int bits, int origin) {
  if (bits != 8 && bits != 24 && bits != 32) return false;
  if (width <= 0 || height <= 0 || width >= 10000 || height >= 10000) return false;
  if (origin != 0 && origin != 1) return false;
  const int channels = bits / 8;
  if (!(m_image.channels() == channels && m_image.cols == width && m_image.rows == height && !m_image.empty()))
    m_image = cv::Mat::zeros(height, width, CV_8UC(channels));
  return !m_image.empty();
}

bool CvvMat::Load(const std::string& fileName, bool flip) {
  cv::Mat img = smt::vision::ReadImageFile(fileName, smt::vision::ImageRead::AnyColor);
  if (img.empty()) return false;
  CopyOf(img, flip);
  return true;
}

bool CvvMat::LoadRect(const std::string& fileName, bool flip, int left, int top, int right, int bottom, bool) {
  return LoadRect(fileName, flip, cv::Rect(left, top, right - left, bottom - top));
}

bool CvvMat::LoadRect(const std::string& fileName, bool flip, const cv::Rect& rectIn) {
  if (rectIn.width < 0 || rectIn.height < 0) return false;
  cv::Mat img = smt::vision::ReadImageFile(fileName, smt::vision::ImageRead::AnyColor);
  if (img.empty()) return false;
  cv::Rect r = rectIn;
  if (r.width == 0 || r.height == 0) r = cv::Rect(0, 0, img.cols, img.rows);
  if (r.x > img.cols || r.y > img.rows || r.x + r.width < 0 || r.y + r.height < 0) return false;
  r &= cv::Rect(0, 0, img.cols, img.rows);
  if (r.empty()) return false;
  CopyOf(img(r), flip);
  return true;
}

bool CvvMat::Save(const std::string& fileName) const {
  if (m_image.empty()) return false;
  try {
    return smt::vision::WriteImageFile(fileName, m_image);
  } catch (const cv::Exception&) {
    return false;
  }
}

void CvvMat::CopyOf(const cv::Mat& image, bool) {
  if (!image.empty()) m_image = image.clone();
  if (!m_image.empty()) cv::flip(m_image, m_image, 0);
}

void CvvMat::CopyOf(const CvvMat& other, bool flip) {
  if (!other.m_image.empty()) CopyOf(other.m_image, flip);
}

void CvvMat::Destroy() { m_image.release(); }

void CvvMat::Fill(unsigned int c) {
  m_image.setTo(cv::Scalar(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, (c >> 24) & 0xFF));
}

QImage MatToQImage(const cv::Mat& image) {
  if (image.empty() || image.depth() != CV_8U) return {};
  cv::Mat rgb;
  switch (image.channels()) {
    case 1: {
      QImage q(image.data, image.cols, image.rows, static_cast<int>(image.step), QImage::Format_Grayscale8);
      return q.copy();
    }
    case 3:
      cv::cvtColor(image, rgb, cv::COLOR_BGR2RGB);
      return QImage(rgb.data, rgb.cols, rgb.rows, static_cast<int>(rgb.step), QImage::Format_RGB888).copy();
    case 4:
      cv::cvtColor(image, rgb, cv::COLOR_BGRA2RGBA);
      return QImage(rgb.data, rgb.cols, rgb.rows, static_cast<int>(rgb.step), QImage::Format_RGBA8888).copy();
    default:
      return {};
  }
}

QImage CvvMat::ToQImage() const {
  if (m_image.empty()) return {};
  cv::Mat topDown;
  cv::flip(m_image, topDown, 0);
  return MatToQImage(topDown);
}

void CvvMat::DrawToPainter(QPainter& painter, QRect rect) const {
  if (m_image.empty() || m_image.depth() != CV_8U || !m_image.data) return;
  // Normalised by its edges (x and x + width), as a window rectangle given
  // right-to-left or bottom-to-top describes the same area.
  int l = rect.x(), r = rect.x() + rect.width(), t = rect.y(), b = rect.y() + rect.height();
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  rect = QRect(l, t, r - l, b - t);
  if (rect.isEmpty()) return;
  const QImage img = ToQImage();
  if (img.isNull()) return;
  if (rect.width() == img.width() && rect.height() == img.height()) {
    painter.drawImage(rect.topLeft(), img);
    return;
  }
  const bool shrinking = img.width() > rect.width();
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, shrinking);
  painter.drawImage(rect, img);
  painter.restore();
}
