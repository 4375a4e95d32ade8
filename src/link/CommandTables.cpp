// The exchange's command names, structures with their cache lifetimes, and digit codes.
#include "link/Data.h"

namespace orvex {

const char* const CmdNames[CmdCount] = {
    "Čtení",                  // 0
    "Zápis",                  // 1
    "Info",                   // 2
    "Save EPROM",             // 3
    "Čtení účtu",             // 4
    "Znova čtení účtu",       // 5
    "Smaž volby",             // 6
    "Reset ISDN modulu",      // 7
    "Download ISDN modulu",   // 8
    "Čtení času",             // 9
    "Zápis času",             // 10
    "Restart",                // 11
    "Trace ISDN",             // 12
    "Čtení comatibility",     // 13 (the exchange's own spelling)
    "Stav spínačů a skupin",  // 14
};

const TStructInfo StructTable[StructCount] = {
    {3600000, "Global"},                // 0
    {2000, "SMS"},                      // 1
    {60000, "Ars"},                     // 2
    {60000, "Trasa"},                   // 3
    {120000, "Oprávnění A"},            // 4
    {120000, "Oprávnění B"},            // 5
    {120000, "Oprávnění C"},            // 6
    {120000, "Oprávnění D"},            // 7
    {120000, "Oprávnění E"},            // 8
    {120000, "Oprávnění F"},            // 9
    {120000, "Oprávnění H"},            // 10
    {5000, "Skupiny"},                  // 11
    {60000, "Čísla služeb"},            // 12
    {60000, "Zkrácené volby"},          // 13
    {60000, "Čísla linek"},             // 14
    {60000, "VLIndividual"},            // 15
    {2000, "VLProvoz"},                 // 16
    {60000, "Zprávy"},                  // 17
    {60000, "PersonalDial"},            // 18
    {60000, "COIndividual"},            // 19
    {60000, "COProvoz"},                // 20
    {60000, "Blok služeb"},             // 21
    {300, "Stav linek"},                // 22
    {60000, "Masky zkr.voleb"},         // 23
    {60000, "Paměť voleb"},             // 24
    {60000, "SYSIndividual"},           // 25
    {60000, "SYSProvoz"},               // 26
    {60000, "EMIndividual"},            // 27
    {60000, "GSMIndividual"},           // 28
    {60000, "S0Individual"},            // 29
    {60000, "S0Provoz"},                // 30
    {60000, "Svazky"},                  // 31
    {60000, "Oddělení"},                // 32
    {60000, "Čísla provolby"},          // 33
    {60000, "EMProvoz"},                // 34
    {60000, "GSMProvoz"},               // 35
    {60000, "Tabulky zvonění"},         // 36
    {60000, "Paměť tabulek"},           // 37
    {60000, "Global provozní"},         // 38
    {60000, "Popis hardware"},          // 39
    {60000, "Popis portů"},             // 40
    {60000, "Tabulka čísel"},           // 41
    {60000, "Ukazatel do tab."},        // 42
    {60000, "Ars blokově"},             // 43
    {60000, "Trasy blokově"},           // 44
    {300, "Stav spínačů a skupin"},     // 45
};

// Position c holds the character of digit code c; code 0 ends a number.
const char DigitAlphabet[] = ".1234567890*#FPSABCD";
static_assert(sizeof(DigitAlphabet) == 21, "digit codes 1 to 19 plus the end code");

}  // namespace orvex
