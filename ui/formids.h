#pragma once

namespace vox::form {

// The main form's template and control ids, as the form table in resources/ names them.
constexpr int kTemplate = 101;

constexpr int kFragment = 1000;
constexpr int kPlay = 1001;
constexpr int kSave = 1002;
constexpr int kFragCount = 1003;
constexpr int kCommCount = 1004;
constexpr int kVoiceCount = 1005;
constexpr int kVoxIndex = 1006;
constexpr int kVoxSize1 = 1007;
constexpr int kVoxSize2 = 1008;
constexpr int kVoice = 1009;
constexpr int kFragPlus = 1010;
constexpr int kFragMinus = 1011;
constexpr int kVoicePlus = 1012;
constexpr int kVoiceMinus = 1013;
constexpr int kCommIndex = 1014;
constexpr int kPriority = 1015;
constexpr int kPosition = 1016;
constexpr int kBullseye = 1017;
constexpr int kElements = 1018;
constexpr int kEvals = 1019;
constexpr int kWarp = 1020;
constexpr int kCommPlus = 1021;
constexpr int kCommMinus = 1022;
constexpr int kPlaySequence = 1053;
constexpr int kReplace = 1054;
constexpr int kEvalCount = 1070;
constexpr int kInfo = 1086;
constexpr int kAddNew = 1087;
constexpr int kAddVoice = 1088;
constexpr int kCommVoice = 1089;
constexpr int kCommVoicePlus = 1090;
constexpr int kCommVoiceMinus = 1091;
constexpr int kSequenceText = 1096;
constexpr int kPhrase = 1097;
constexpr int kCommName = 1138;
constexpr int kSearchPhrase = 1139;
constexpr int kSaveRange = 1145;

// Slot i owns the control base + i of each of these rows.
constexpr int kSlotCount = 15;
constexpr int kNumberBase = 1023;
constexpr int kElemIndBase = 1038;
constexpr int kFragBase = 1055;
constexpr int kEvalButtonBase = 1071;
constexpr int kElemPlusBase = 1108;
constexpr int kElemMinusBase = 1123;

constexpr int kMaxVoice = 13;

}  // namespace vox::form
