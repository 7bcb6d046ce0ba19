#pragma once
// Which inner loops the template search runs on. Where the processor has
// AVX2 the search scores eight places at a time and sums a window's products
// 32 bytes at a time; elsewhere it takes the plain 128-bit loops every x86-64
// processor has. Both do the same operations in the same order, so every
// place gets the same score to the last bit and the search the same answer.
//
// The program never chooses: the processor does. The switch below is for
// the tests, which hold the two loops to the same answers on one processor.

namespace smt::vision {

// True when searches on this thread take the AVX2 loops.
bool TemplateSearchTakesAvx2();

// While an object of this class lives, searches on the thread that made it
// take the plain loops (the AVX2 ones are not used even where the processor
// has them). Scopes nest; each restores what was before it.
class PlainTemplateLoops {
 public:
  PlainTemplateLoops();
  ~PlainTemplateLoops();
  PlainTemplateLoops(const PlainTemplateLoops&) = delete;
  PlainTemplateLoops& operator=(const PlainTemplateLoops&) = delete;

 private:
  bool before_;
};

}  // namespace smt::vision
