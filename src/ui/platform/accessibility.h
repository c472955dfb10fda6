#pragma once

namespace velmo {

// Lets screen readers on Linux announce a drop-down list by the accessible name the window gives
// it ("Play Times"), as on other platforms; Qt would otherwise announce only the chosen value.
// Call once, after the QApplication exists.
void InstallAccessibilitySupport();

} // namespace velmo
