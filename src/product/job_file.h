#pragma once
// The job-description file the printer driver writes: a profile (INI) file.
namespace JobFile {
inline constexpr char PrinterSection[] = "Orvik Printer";
inline constexpr char FirstPageSection[] = "First Page Section";  // text
inline constexpr char TotalPageNumber[] = "Total Page Number";    // the last page's number
inline constexpr char FirstPage[] = "First Page";                 // the first page's number
// Page n's section is this prefix and n in decimal, without leading zeros.
inline constexpr char PageSectionPrefix[] = "Print Page ";
inline constexpr char ImageFileName[] = "Image File Name";  // the page image's full name
}  // namespace JobFile
