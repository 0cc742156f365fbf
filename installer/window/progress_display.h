// How the main window shows where a run stands: the texts and bar values built from what
// the engines report (line numbers, permission steps). The window's side alone uses them;
// the engines report numbers and names only.
#pragma once
#include <string>

namespace velmo::installer {

// Count label: "Fichiers envoyés : " + (index + 1) + "/333".
std::string countLabelText(int itemIndex);
// Overall bar: index * 100 / 333 rounded up, kept within 0..100.
int overallPercent(int itemIndex);

// Permission status line "En cours : [i/n] label", and its bar at i * 100 / n rounded up.
std::string permissionStepText(int i, int n, const std::string& label);
int permissionStepPercent(int i, int n);

}  // namespace velmo::installer
