#pragma once

#include <string>

// The text of a PDF file, or of one of its pages (from 1), as pdftotext reads it; empty when it fails.
std::string PdfText(const std::string& pdfPath, int page = 0);
// The number of pages of a PDF file, 0 when it cannot be read.
int PdfPageCount(const std::string& pdfPath);
// The left edge, in points, of the first word on a page that equals word; -1 when there is none.
double PdfWordLeft(const std::string& pdfPath, int page, const std::string& word);
// The title a PDF file carries in its document information; empty when it has none or cannot be read.
std::string PdfTitle(const std::string& pdfPath);
