#include "Instrument.h"

CInstrument::CInstrument() = default;

// An unfinished receive file is discarded, a file being sent is closed.
CInstrument::~CInstrument() = default;
