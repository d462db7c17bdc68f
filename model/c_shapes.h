// cShapes: the steps of one process, in order of creation, keyed by step key.
//
// The collection hands out step numbers (never reused) and keys ("k" + number),
// fills a new step's initial payload, remembers the current and the previous
// step, and answers look-ups between keys, numbers and positions. With a
// designer window set, each new step also gets a picture and a caption label
// on the window, and removing a step hides them.
//
// Creating steps and attaching payloads works without a window: the window's
// part is then skipped. Captioning, removal and getIndexByKey are designer
// operations and raise 91 without one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/collection.h"
#include "core/event.h"
#include "model/c_shape.h"
#include "model/designer_window.h"
#include "model/records.h"

namespace veldrane {

class cShapes {
 public:
  cShapes();

  // The number of the most recently created step; the next gets MAX_SHAPE + 1.
  int16_t MAX_SHAPE = 0;

  // Raised with a message when a request is refused.
  Event<const std::string&> linkError;

  // Sets the designer window (null = none).
  void Form(std::shared_ptr<DesignerWindow> window) { form_ = std::move(window); }

  // Key of the current step.
  const std::string& CurrCtl() const { return curr_ctl_; }
  void CurrCtl(std::string key) { curr_ctl_ = std::move(key); }
  // Key of the step that was current before.
  const std::string& PrevCtl() const { return prev_ctl_; }
  void PrevCtl(std::string key) { prev_ctl_ = std::move(key); }

  // The live collection of steps, each under its Key.
  CollectionRef<std::shared_ptr<cShape>> Collection() const { return collection_; }

  // Sets the step's caption and, on the window, its label's text, centring the
  // label under the picture. Raises 5 for an unknown key, 91 without a window
  // (after the caption is set), 6 when the centring leaves 16 bits.
  void AddCaptionToShape(const std::string& skey, const std::string& sCaption);

  // Creates, numbers and adds a step with its initial payload, and on the
  // window its picture at (X, Y). Returns null when anything but a missing
  // window fails (the failure is not reported; MAX_SHAPE may have advanced).
  std::shared_ptr<cShape> AddShape(int16_t ShapeType, float X, float Y, const std::string& sCaption = {});

  // Removes the step with this number, after deleting its links from the
  // window's process. START and END are refused through linkError (their
  // links stay deleted) and give false. Raises 91 without a window, 5 when no
  // step has the number.
  bool removeShape(int16_t Index);

  // Stores `Elements` as the payload of the step with this key; a SOURCE step
  // whose Source changes forgets its prepared rows. Raises 5 for an unknown key.
  void AddElementsToNode(const std::string& Key, const Payload& Elements);

  // The number of the step's picture control; -1 for an empty key. Raises 5
  // for an unknown key and 91 when the step has no control.
  int16_t getIndexByKey(const std::string& skey) const;
  // The 1-based position of the step with exactly this key; 0 when none.
  int16_t getPosByKey(const std::string& skey) const;
  // The key of the first step with this number; "" when none.
  std::string getKeyByIndex(int16_t indx) const;

 private:
  // The window, or 91 when none is set.
  DesignerWindow& Window() const;
  // Runs one window action of an operation that tolerates a missing window:
  // without a window its 91 is absorbed, anything else propagates.
  template <class F>
  void WindowAction(F&& action) const;

  std::shared_ptr<DesignerWindow> form_;               // Form
  CollectionRef<std::shared_ptr<cShape>> collection_;  // Collection
  std::string curr_ctl_;                               // CurrCtl
  std::string prev_ctl_;                               // PrevCtl
};

}  // namespace veldrane
