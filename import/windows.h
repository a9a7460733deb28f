#pragma once
// The import menu and the three import windows: window procedures of the main
// thread, each returning when its window closes (GLOBALRESPONSE cancelled).

namespace zelk::import {

// The import menu "Реализация импорта": the chart fragment, the import of the
// firm's client-bank system (only the item of N_KL_A is enabled), the postings list.
// Keeps its place in section "s_me" of "ZELK.INI".
void S_ME();

// The On-soft/Loko-Bank statement import: the file choice, then the run.
void LOKO();
// The RFK payments-table import: the date interval D1..D2, then the run.
void KLIENTRFK();
// The BSS statement import: the file choice, then the run.
void KLBSS();

}  // namespace zelk::import
