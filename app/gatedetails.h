// What the gate manager says about one gate, as plain text: the picture of
// its type, its capability lines and whether its site link may be opened.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class TGate;

// The picture of a gate type in the gate list: 0 for "SMS", 1 for any other.
int GateImageIndex(std::string_view type);

// An information value as text; empty when missing.
std::string GateInfoText(const TGate& gate, std::string_view name);

// The rows of the capability box: the six "да"/"нет" and count lines, then,
// when the gate has a description, an empty row and the description's lines.
std::vector<std::string> GateCapabilityLines(const TGate& gate);

// True only for http and https addresses with a host: a gate package comes
// from outside, and its site link must not run or reveal anything here.
bool IsGateSiteURL(std::string_view url);
