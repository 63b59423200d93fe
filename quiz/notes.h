#pragma once
// The twelve notes of the octave and the three levels that choose among them.
#include <array>
#include <string>

namespace pelmora {

struct Note {
    int index;           // 1-7 the naturals C..B, 8-12 the sharps C#..A#
    const char* letter;  // what the hover messages show
    const char* file;    // inside the sound folder "mi"
};

inline constexpr std::array<Note, 12> kNotes{{
    {1, "C", "do.wav"},   {2, "D", "re.wav"},   {3, "E", "mi.wav"},   {4, "F", "fa.wav"},
    {5, "G", "so.wav"},   {6, "A", "ra.wav"},   {7, "B", "si.wav"},   {8, "C#", "dos.wav"},
    {9, "D#", "res.wav"}, {10, "F#", "fas.wav"}, {11, "G#", "sos.wav"}, {12, "A#", "ras.wav"},
}};

inline const Note& note(int index) { return kNotes.at(index - 1); }

// Full path of a note's sound file inside the program folder.
std::string soundPath(const std::string& programFolder, int index);

// The note index that level 1, 2 or 3 draws from r (0 <= r < 1), computed in
// single precision: level 1 gives 1-7, level 2 gives 8-12, level 3 gives 1-12.
int drawNote(int level, float r);

}  // namespace pelmora
