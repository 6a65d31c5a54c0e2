#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What the label detector reports for one check-camera picture. Picture x
// runs across the web, y along it.

// One line of text read on a label.
struct TextResult
{
    std::string lead; // kept for the record layout; unused
    std::string text; // UTF-8
    std::vector<std::pair<int32_t, int32_t>> points; // the text box corners
    double confidence = 0.0;
};

// One QR code or barcode read on a label.
struct CodeResult
{
    std::string type; // the symbology, as ZBar names it ("QR-Code", "CODE-128")
    std::string code;
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    std::vector<std::pair<int32_t, int32_t>> points; // the symbol's outline
};

// One label of the page found in the picture.
struct DetectedLabel
{
    enum Kind : int32_t { Lost = 0, Checked = 1 };
    int32_t kind = Lost;
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    std::vector<TextResult> texts;
    std::vector<CodeResult> qrCodes;
    std::vector<CodeResult> barcodes;
};

struct ReadData
{
    int32_t first_edge = 0; // the paper's edges across the web, pixels
    int32_t last_edge = 0;
    int32_t segmentX = 0;   // where the page starts along the web; < 1: none
    std::vector<DetectedLabel> labels;
};
