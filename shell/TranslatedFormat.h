#pragma once

// Texts of the language files used as printf formats. A translation may
// hold any text, so it is used as a format only when it reads exactly the
// arguments its English default reads.

// True when the text's conversions ("%%" aside) are, in
// order and character for character, those of the reference format. A "%"
// at the end of the text counts as a conversion of its own. One pass
// over each text.
bool HasConversionsOf(const wchar_t* text, const wchar_t* reference);

// The UI text of the id when it has the conversions of the id's text in the
// default English document; otherwise, with one log line, that English text.
const wchar_t* GetFormatText(int id);
