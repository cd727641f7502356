#pragma once

namespace GUI::CoachTexts {

// The texts of the timing coach: numbers in the language's Text group, from First on, in this
// order, with the English, German and French words (to go into the built-in language and the
// language files).
constexpr int First = 170;
enum : int {
    MenuCoach = First,
    Title,
    InputLabel,
    LevelLabel,
    CalibrateButton,
    CalibrateHint,
    Calibrated,      // "Round trip: %1 ms"
    NotCalibrated,
    ManualOffset,
    MuteAlternate,
    StartTake,
    StopTake,
    SaveTake,
    Early,           // "%1 ms early"
    Late,            // "%1 ms late"
    OnTheBeat,
    Summary,         // "Mean %1 ms, consistency %2 ms, drift %3 ms per 30 s, %4 missed, %5 extra"
    OffsetOverTime,
    PerPosition,
    ConsistencyOverDays,
    SilentBars,
    NoInput,
    End
};

inline const char16_t* const Words[End - First][3] = {
    {u"&Timing Coach...", u"&Timing-Trainer...", u"Coach de &tempo..."},
    {u"Timing Coach", u"Timing-Trainer", u"Coach de tempo"},
    {u"Input:", u"Eingang:", u"Entrée :"},
    {u"Level", u"Pegel", u"Niveau"},
    {u"&Calibrate", u"&Kalibrieren", u"&Calibrer"},
    {u"Stay silent while four clicks play.", u"Bitte still sein, während vier Klicks spielen.",
     u"Restez silencieux pendant quatre clics."},
    {u"Round trip: %1 ms", u"Umlaufzeit: %1 ms", u"Aller-retour : %1 ms"},
    {u"Not calibrated", u"Nicht kalibriert", u"Non calibré"},
    {u"Manual offset (headphones), ms:", u"Manueller Versatz (Kopfhörer), ms:", u"Décalage manuel (casque), ms :"},
    {u"&Mute every other 2 bars", u"Jedes zweite Taktpaar &stumm", u"&Muet une paire de mesures sur deux"},
    {u"&Start take", u"Aufnahme &starten", u"&Démarrer la prise"},
    {u"St&op take", u"Aufnahme st&oppen", u"&Arrêter la prise"},
    {u"Save t&ake...", u"Aufnahme spei&chern...", u"&Enregistrer la prise..."},
    {u"%1 ms early", u"%1 ms zu früh", u"%1 ms en avance"},
    {u"%1 ms late", u"%1 ms zu spät", u"%1 ms en retard"},
    {u"On the beat", u"Auf dem Schlag", u"Sur le temps"},
    {u"Mean %1 ms, consistency %2 ms, drift %3 ms per 30 s, %4 missed, %5 extra",
     u"Mittel %1 ms, Streuung %2 ms, Drift %3 ms je 30 s, %4 verpasst, %5 zusätzlich",
     u"Moyenne %1 ms, régularité %2 ms, dérive %3 ms par 30 s, %4 manqués, %5 en trop"},
    {u"Offset over time (ms)", u"Versatz über die Zeit (ms)", u"Décalage dans le temps (ms)"},
    {u"Lean per bar position (ms)", u"Neigung je Taktposition (ms)", u"Tendance par position (ms)"},
    {u"Consistency over days (ms)", u"Streuung über die Tage (ms)", u"Régularité au fil des jours (ms)"},
    {u"silent bars", u"stumme Takte", u"mesures muettes"},
    {u"No input found", u"Kein Eingang gefunden", u"Aucune entrée trouvée"},
};

// language: 0 English, 1 German, 2 French.
inline const char16_t* Text(int number, int language)
{
    if (number < First || number >= End)
        return u"";
    return Words[number - First][language >= 0 && language < 3 ? language : 0];
}

}  // namespace GUI::CoachTexts
