#pragma once
// Normalised-correlation template search over a camera frame.
//
// The search runs coarse to fine: frame and template are halved a few
// times, the whole coarse frame is searched, the best few coarse places
// (not only the best one: a similar part elsewhere may look better when
// blurred) are followed level by level, and the survivors are searched
// again at full resolution on the frame itself in a small window each. The
// found place and score are those of a search over the whole frame at full
// resolution, at a small part of its cost.
#include <opencv2/core.hpp>

namespace smt::vision {

struct TemplateMatch {
  cv::Point topLeft{-1, -1};  // of the template's best place in the frame
  double score = -1.0;        // normalised correlation, 1 = perfect
};

// Frame and template of the same type, 8 bits per channel, the template not
// larger than the frame (the caller checks).
TemplateMatch SearchTemplate(const cv::Mat& image, const cv::Mat& templ);
// The whole-frame search at full resolution (for comparison).
TemplateMatch SearchTemplateFull(const cv::Mat& image, const cv::Mat& templ);

}  // namespace smt::vision
