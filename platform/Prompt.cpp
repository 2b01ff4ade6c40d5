#include "Prompt.h"

#include "Services.h"

void ShowError(const QString& text)
{
    CServices::Prompt().MessageBox(text, QString(), MB_OK, MB_ICONERROR);
}
