// Refusals that more than one button shows, each with the title of every
// refusal that keeps a conversion from starting. Two wordings ask for the song
// first, as the buttons have always had them.
#pragma once

inline constexpr char kErrorBeforeConversion[] = "変換開始前のエラー";
inline constexpr char kChooseMusicFileFirst[] = "最初に楽曲ファイルを選択してください";  // "select a music file first"
inline constexpr char kChooseSoundFileFirst[] = "最初に音源ファイルを選択してください";  // "select a sound source file first"
