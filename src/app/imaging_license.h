#pragma once
// The imaging control's runtime licence key the program was built with (UTF-8, ends
// with a zero; empty when it was built without one).
extern const unsigned char kImagingLicenseKey[];
