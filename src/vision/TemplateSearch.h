#pragma once
// Normalised-correlation template search over a camera frame.
//
// The search answers what the search over the whole frame at full
// resolution answers (the best place and its score, or "no place reaches the
// accept score"), at a small part of its cost:
//
// - Frame and template are halved a few times (2 x 2 averages). A place whose
//   full-resolution score is s = cos(theta) scores, at a coarse level and at
//   its nearest coarse place, at least cos(theta + shift + slack): the
//   averages keep the angle between window and template when what differs
//   between them has the template's own spread of detail, and moving the
//   template by half a coarse pixel under the coarse grid turns its averages
//   by at most `shift` (measured on the template for each level). A level is
//   used only when its averages keep most of the template's contrast.
// - Every coarse place above the bound of the accept score is followed down,
//   level by level, each level with its own bound; the best candidates go
//   first, and once a full-resolution score is known the bound rises to it,
//   so places that cannot beat it are dropped. The survivors are scored at
//   full resolution on the frame itself, place by place.
// - When the coarse maximum is below the bound, no place reaches the accept
//   score: "not found" at once.
// - Where no level's bound tells places apart (a template whose contrast is
//   mostly fine grain or noise, or an accept score too low to prune), or
//   where so many coarse places pass that following them would cost more,
//   a second bound is tried that assumes nothing about the template: the
//   correlation of the block sums (all channels, blocks laid from each
//   place's corner) bounds the score of every place exactly, however little
//   of the template the blocks keep. Once the best coarse places are scored,
//   only places whose bound reaches that score are scored at full
//   resolution. A near-flat template found in the very picture it was cut
//   from is settled this way.
// - When neither settles it, a third bound: the correlation of the
//   template's channel mean with the frame's channel sums, over every place
//   by one transform, plus what the channels' differences can add at most
//   (nothing on a grey frame). It assumes nothing about the template's
//   grain either, so a near-flat template searched in a frame other than its
//   own, or a small template with no match, is settled this way.
// - When no bound settles it at a fair cost, the whole frame is searched at
//   full resolution.
// The test table in tests/vision holds the answers to the full search's over
// scenes, template sizes, turns, noise and accept scores.
#include <opencv2/core.hpp>

namespace smt::vision {

struct TemplateMatch {
  cv::Point topLeft{-1, -1};  // of the template's best place in the frame; (-1, -1): not found
  double score = -1.0;        // ScoreAt(topLeft): normalised correlation, 1 = perfect
  bool Found() const { return topLeft.x >= 0; }
};

// The score a match needs when the caller names none: below it the template
// explains less than two thirds of the window's contrast (0.8 squared), which
// is not the feature it shows.
inline constexpr double kTemplateAcceptScore = 0.8;

// A template needs contrast to be matched: its largest channel standard
// deviation must reach this many grey levels. A camera looking at a flat
// surface sees 1 to 2 grey levels of sensor noise; a patch whose spread is
// not clearly above that shows nothing the correlation could find (and the
// correlation of a constant template is undefined: it reads 1 everywhere).
inline constexpr double kMinTemplateContrast = 3.0;
// The template's largest channel standard deviation (grey levels).
double TemplateContrast(const cv::Mat& templ);
bool HasTemplateContrast(const cv::Mat& templ);

// The normalised correlation of the template with the template-sized window
// of `image` whose top-left corner is `topLeft` (TM_CCOEFF_NORMED: each
// channel's mean taken away, the norm over all channels). The window's sums
// and products with the template are whole numbers summed exactly; only the
// last few steps round, in double. A flat window scores 0. Every search
// reports this value at the place it chose, so the score at a place does not
// depend on which search found it (a whole-frame correlation in float differs
// from it by up to a few 1e-5).
double ScoreAt(const cv::Mat& image, const cv::Mat& templ, cv::Point topLeft);

// Frame and template of the same type, 8 bits per channel, the template not
// larger than the frame (the caller checks). The best place when its score
// (ScoreAt) reaches `acceptScore`, else not found; a template without
// contrast is never found.
TemplateMatch SearchTemplate(const cv::Mat& image, const cv::Mat& templ, double acceptScore = kTemplateAcceptScore);
// The whole-frame search at full resolution, without any acceptance (the
// reference the faster search is held to): the best place of
// cv::matchTemplate's score map, and ScoreAt there.
TemplateMatch SearchTemplateFull(const cv::Mat& image, const cv::Mat& templ);

}  // namespace smt::vision
