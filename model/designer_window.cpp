#include "model/designer_window.h"

#include "core/vb_error.h"

namespace veldrane {

// A control only answers the members its kind has; the rest fail as a
// late-bound call to a missing member does.
int16_t WindowControl::Index() const { throw VbError::NotSupported("Index"); }
float WindowControl::Left() const { throw VbError::NotSupported("Left"); }
void WindowControl::setLeft(float) { throw VbError::NotSupported("Left"); }
float WindowControl::Top() const { throw VbError::NotSupported("Top"); }
void WindowControl::setTop(float) { throw VbError::NotSupported("Top"); }
float WindowControl::Width() const { throw VbError::NotSupported("Width"); }
void WindowControl::setWidth(float) { throw VbError::NotSupported("Width"); }
float WindowControl::Height() const { throw VbError::NotSupported("Height"); }
void WindowControl::setHeight(float) { throw VbError::NotSupported("Height"); }
void WindowControl::Move(float, float) { throw VbError::NotSupported("Move"); }
float WindowControl::x1() const { throw VbError::NotSupported("x1"); }
void WindowControl::setX1(float) { throw VbError::NotSupported("x1"); }
float WindowControl::y1() const { throw VbError::NotSupported("y1"); }
void WindowControl::setY1(float) { throw VbError::NotSupported("y1"); }
float WindowControl::x2() const { throw VbError::NotSupported("x2"); }
void WindowControl::setX2(float) { throw VbError::NotSupported("x2"); }
float WindowControl::y2() const { throw VbError::NotSupported("y2"); }
void WindowControl::setY2(float) { throw VbError::NotSupported("y2"); }
bool WindowControl::Visible() const { throw VbError::NotSupported("Visible"); }
void WindowControl::setVisible(bool) { throw VbError::NotSupported("Visible"); }
std::string WindowControl::Caption() const { throw VbError::NotSupported("Caption"); }
void WindowControl::setCaption(const std::string&) { throw VbError::NotSupported("Caption"); }
std::string WindowControl::Picture() const { throw VbError::NotSupported("Picture"); }
void WindowControl::setPicture(const std::string&) { throw VbError::NotSupported("Picture"); }
void WindowControl::ZOrder(int16_t) { throw VbError::NotSupported("ZOrder"); }

}  // namespace veldrane
