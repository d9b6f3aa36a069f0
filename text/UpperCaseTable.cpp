// Unicode simple uppercase mappings (UnicodeData.txt, DerivedAge.txt), written by tools/gen_uppercase.py.

#include "text/UpperCase.h"

const UpperCasePair kUpperCasePairs[] = {
    // lower   upper
    { 0x00F8, 0x00D8 },  // latin small letter o with stroke
    { 0x00F9, 0x00D9 },  // latin small letter u with grave
    { 0x00FA, 0x00DA },  // latin small letter u with acute
    { 0x00FB, 0x00DB },  // latin small letter u with circumflex
    { 0x00FC, 0x00DC },  // latin small letter u with diaeresis
    { 0x00FD, 0x00DD },  // latin small letter y with acute
    { 0x00FE, 0x00DE },  // latin small letter thorn
    { 0x00FF, 0x0178 },  // latin small letter y with diaeresis
    { 0x0131, 0x0049 },  // latin small letter dotless i
    { 0x0133, 0x0132 },  // latin small ligature ij
    { 0x0135, 0x0134 },  // latin small letter j with circumflex
    { 0x0137, 0x0136 },  // latin small letter k with cedilla
    { 0x013A, 0x0139 },  // latin small letter l with acute
    { 0x013C, 0x013B },  // latin small letter l with cedilla
    { 0x013E, 0x013D },  // latin small letter l with caron
    { 0x0140, 0x013F },  // latin small letter l with middle dot
    { 0x0142, 0x0141 },  // latin small letter l with stroke
    { 0x0144, 0x0143 },  // latin small letter n with acute
    { 0x0146, 0x0145 },  // latin small letter n with cedilla
    { 0x0148, 0x0147 },  // latin small letter n with caron
    { 0x017A, 0x0179 },  // latin small letter z with acute
    { 0x017C, 0x017B },  // latin small letter z with dot above
    { 0x017E, 0x017D },  // latin small letter z with caron
    { 0x017F, 0x0053 },  // latin small letter long s
    { 0x0180, 0x0243 },  // latin small letter b with stroke
    { 0x0183, 0x0182 },  // latin small letter b with topbar
    { 0x0185, 0x0184 },  // latin small letter tone six
    { 0x0188, 0x0187 },  // latin small letter c with hook
    { 0x018C, 0x018B },  // latin small letter d with topbar
    { 0x0192, 0x0191 },  // latin small letter f with hook
    { 0x0195, 0x01F6 },  // latin small letter hv
    { 0x0199, 0x0198 },  // latin small letter k with hook
    { 0x019A, 0x023D },  // latin small letter l with bar
    { 0x019E, 0x0220 },  // latin small letter n with long right leg
    { 0x01A1, 0x01A0 },  // latin small letter o with horn
    { 0x01A3, 0x01A2 },  // latin small letter oi
    { 0x01A5, 0x01A4 },  // latin small letter p with hook
    { 0x01A8, 0x01A7 },  // latin small letter tone two
    { 0x01AD, 0x01AC },  // latin small letter t with hook
    { 0x01B0, 0x01AF },  // latin small letter u with horn
    { 0x01B4, 0x01B3 },  // latin small letter y with hook
    { 0x01B6, 0x01B5 },  // latin small letter z with stroke
    { 0x01B9, 0x01B8 },  // latin small letter ezh reversed
    { 0x01BD, 0x01BC },  // latin small letter tone five
    { 0x01BF, 0x01F7 },  // latin letter wynn
    { 0x01C5, 0x01C4 },  // latin capital letter d with small letter z with caron
    { 0x01C6, 0x01C4 },  // latin small letter dz with caron
    { 0x01C8, 0x01C7 },  // latin capital letter l with small letter j
    { 0x01C9, 0x01C7 },  // latin small letter lj
    { 0x01CB, 0x01CA },  // latin capital letter n with small letter j
    { 0x01CC, 0x01CA },  // latin small letter nj
    { 0x01CE, 0x01CD },  // latin small letter a with caron
    { 0x01D0, 0x01CF },  // latin small letter i with caron
    { 0x01D2, 0x01D1 },  // latin small letter o with caron
    { 0x01D4, 0x01D3 },  // latin small letter u with caron
    { 0x01D6, 0x01D5 },  // latin small letter u with diaeresis and macron
    { 0x01D8, 0x01D7 },  // latin small letter u with diaeresis and acute
    { 0x01DA, 0x01D9 },  // latin small letter u with diaeresis and caron
    { 0x01DC, 0x01DB },  // latin small letter u with diaeresis and grave
    { 0x01DD, 0x018E },  // latin small letter turned e
    { 0x01DF, 0x01DE },  // latin small letter a with diaeresis and macron
    { 0x01E1, 0x01E0 },  // latin small letter a with dot above and macron
    { 0x01E3, 0x01E2 },  // latin small letter ae with macron
    { 0x01E5, 0x01E4 },  // latin small letter g with stroke
    { 0x01E7, 0x01E6 },  // latin small letter g with caron
    { 0x01E9, 0x01E8 },  // latin small letter k with caron
    { 0x01EB, 0x01EA },  // latin small letter o with ogonek
    { 0x01ED, 0x01EC },  // latin small letter o with ogonek and macron
    { 0x01EF, 0x01EE },  // latin small letter ezh with caron
    { 0x01F2, 0x01F1 },  // latin capital letter d with small letter z
    { 0x01F3, 0x01F1 },  // latin small letter dz
    { 0x01F5, 0x01F4 },  // latin small letter g with acute
    { 0x0223, 0x0222 },  // latin small letter ou
    { 0x0225, 0x0224 },  // latin small letter z with hook
    { 0x0227, 0x0226 },  // latin small letter a with dot above
    { 0x0229, 0x0228 },  // latin small letter e with cedilla
    { 0x022B, 0x022A },  // latin small letter o with diaeresis and macron
    { 0x022D, 0x022C },  // latin small letter o with tilde and macron
    { 0x022F, 0x022E },  // latin small letter o with dot above
    { 0x0231, 0x0230 },  // latin small letter o with dot above and macron
    { 0x0233, 0x0232 },  // latin small letter y with macron
    { 0x023C, 0x023B },  // latin small letter c with stroke
    { 0x023F, 0x2C7E },  // latin small letter s with swash tail
    { 0x0240, 0x2C7F },  // latin small letter z with swash tail
    { 0x0242, 0x0241 },  // latin small letter glottal stop
    { 0x0247, 0x0246 },  // latin small letter e with stroke
    { 0x0249, 0x0248 },  // latin small letter j with stroke
    { 0x024B, 0x024A },  // latin small letter q with hook tail
    { 0x024D, 0x024C },  // latin small letter r with stroke
    { 0x024F, 0x024E },  // latin small letter y with stroke
    { 0x0250, 0x2C6F },  // latin small letter turned a
    { 0x0251, 0x2C6D },  // latin small letter alpha
    { 0x0252, 0x2C70 },  // latin small letter turned alpha
    { 0x0253, 0x0181 },  // latin small letter b with hook
    { 0x0254, 0x0186 },  // latin small letter open o
    { 0x0256, 0x0189 },  // latin small letter d with tail
    { 0x0257, 0x018A },  // latin small letter d with hook
    { 0x0259, 0x018F },  // latin small letter schwa
    { 0x025B, 0x0190 },  // latin small letter open e
    { 0x025C, 0xA7AB },  // latin small letter reversed open e
    { 0x0260, 0x0193 },  // latin small letter g with hook
    { 0x0261, 0xA7AC },  // latin small letter script g
    { 0x0263, 0x0194 },  // latin small letter gamma
    { 0x0265, 0xA78D },  // latin small letter turned h
    { 0x0266, 0xA7AA },  // latin small letter h with hook
    { 0x0268, 0x0197 },  // latin small letter i with stroke
    { 0x0269, 0x0196 },  // latin small letter iota
    { 0x026B, 0x2C62 },  // latin small letter l with middle tilde
    { 0x026C, 0xA7AD },  // latin small letter l with belt
    { 0x026F, 0x019C },  // latin small letter turned m
    { 0x0271, 0x2C6E },  // latin small letter m with hook
    { 0x0272, 0x019D },  // latin small letter n with left hook
    { 0x0275, 0x019F },  // latin small letter barred o
    { 0x027D, 0x2C64 },  // latin small letter r with tail
    { 0x0280, 0x01A6 },  // latin letter small capital r
    { 0x0283, 0x01A9 },  // latin small letter esh
    { 0x0287, 0xA7B1 },  // latin small letter turned t
    { 0x0288, 0x01AE },  // latin small letter t with retroflex hook
    { 0x0289, 0x0244 },  // latin small letter u bar
    { 0x028A, 0x01B1 },  // latin small letter upsilon
    { 0x028B, 0x01B2 },  // latin small letter v with hook
    { 0x028C, 0x0245 },  // latin small letter turned v
    { 0x0292, 0x01B7 },  // latin small letter ezh
    { 0x029E, 0xA7B0 },  // latin small letter turned k
    { 0x0345, 0x0399 },  // combining greek ypogegrammeni
    { 0x0371, 0x0370 },  // greek small letter heta
    { 0x0373, 0x0372 },  // greek small letter archaic sampi
    { 0x0377, 0x0376 },  // greek small letter pamphylian digamma
    { 0x037B, 0x03FD },  // greek small reversed lunate sigma symbol
    { 0x037C, 0x03FE },  // greek small dotted lunate sigma symbol
    { 0x037D, 0x03FF },  // greek small reversed dotted lunate sigma symbol
    { 0x03AC, 0x0386 },  // greek small letter alpha with tonos
    { 0x03AD, 0x0388 },  // greek small letter epsilon with tonos
    { 0x03AE, 0x0389 },  // greek small letter eta with tonos
    { 0x03AF, 0x038A },  // greek small letter iota with tonos
    { 0x03B1, 0x0391 },  // greek small letter alpha
    { 0x03B2, 0x0392 },  // greek small letter beta
    { 0x03B3, 0x0393 },  // greek small letter gamma
    { 0x03B4, 0x0394 },  // greek small letter delta
    { 0x03B5, 0x0395 },  // greek small letter epsilon
    { 0x03B6, 0x0396 },  // greek small letter zeta
    { 0x03B7, 0x0397 },  // greek small letter eta
    { 0x03B8, 0x0398 },  // greek small letter theta
    { 0x03B9, 0x0399 },  // greek small letter iota
    { 0x03BA, 0x039A },  // greek small letter kappa
    { 0x03BB, 0x039B },  // greek small letter lamda
    { 0x03BC, 0x039C },  // greek small letter mu
    { 0x03BD, 0x039D },  // greek small letter nu
    { 0x03BE, 0x039E },  // greek small letter xi
    { 0x03BF, 0x039F },  // greek small letter omicron
    { 0x03C0, 0x03A0 },  // greek small letter pi
    { 0x03C1, 0x03A1 },  // greek small letter rho
    { 0x03C2, 0x03A3 },  // greek small letter final sigma
    { 0x03C3, 0x03A3 },  // greek small letter sigma
    { 0x03C4, 0x03A4 },  // greek small letter tau
    { 0x03C5, 0x03A5 },  // greek small letter upsilon
    { 0x03C6, 0x03A6 },  // greek small letter phi
    { 0x03C7, 0x03A7 },  // greek small letter chi
    { 0x03C8, 0x03A8 },  // greek small letter psi
    { 0x03C9, 0x03A9 },  // greek small letter omega
    { 0x03CA, 0x03AA },  // greek small letter iota with dialytika
    { 0x03CB, 0x03AB },  // greek small letter upsilon with dialytika
    { 0x03CC, 0x038C },  // greek small letter omicron with tonos
    { 0x03CD, 0x038E },  // greek small letter upsilon with tonos
    { 0x03CE, 0x038F },  // greek small letter omega with tonos
    { 0x03D1, 0x0398 },  // greek theta symbol
    { 0x03D7, 0x03CF },  // greek kai symbol
    { 0x03D9, 0x03D8 },  // greek small letter archaic koppa
    { 0x03DB, 0x03DA },  // greek small letter stigma
    { 0x03DD, 0x03DC },  // greek small letter digamma
    { 0x03DF, 0x03DE },  // greek small letter koppa
    { 0x03E1, 0x03E0 },  // greek small letter sampi
    { 0x03E3, 0x03E2 },  // coptic small letter shei
    { 0x03E5, 0x03E4 },  // coptic small letter fei
    { 0x03E7, 0x03E6 },  // coptic small letter khei
    { 0x03E9, 0x03E8 },  // coptic small letter hori
    { 0x03EB, 0x03EA },  // coptic small letter gangia
    { 0x03ED, 0x03EC },  // coptic small letter shima
    { 0x03EF, 0x03EE },  // coptic small letter dei
    { 0x03F2, 0x03F9 },  // greek lunate sigma symbol
    { 0x03F3, 0x037F },  // greek letter yot
    { 0x03F5, 0x0395 },  // greek lunate epsilon symbol
    { 0x03F8, 0x03F7 },  // greek small letter sho
    { 0x03FB, 0x03FA },  // greek small letter san
    { 0x0450, 0x0400 },  // cyrillic small letter ie with grave
    { 0x0451, 0x0401 },  // cyrillic small letter io
    { 0x0452, 0x0402 },  // cyrillic small letter dje
    { 0x0453, 0x0403 },  // cyrillic small letter gje
    { 0x0454, 0x0404 },  // cyrillic small letter ukrainian ie
    { 0x0455, 0x0405 },  // cyrillic small letter dze
    { 0x0456, 0x0406 },  // cyrillic small letter byelorussian-ukrainian i
    { 0x0457, 0x0407 },  // cyrillic small letter yi
    { 0x0458, 0x0408 },  // cyrillic small letter je
    { 0x0459, 0x0409 },  // cyrillic small letter lje
    { 0x045A, 0x040A },  // cyrillic small letter nje
    { 0x045B, 0x040B },  // cyrillic small letter tshe
    { 0x045C, 0x040C },  // cyrillic small letter kje
    { 0x045D, 0x040D },  // cyrillic small letter i with grave
    { 0x045E, 0x040E },  // cyrillic small letter short u
    { 0x045F, 0x040F },  // cyrillic small letter dzhe
    { 0x0461, 0x0460 },  // cyrillic small letter omega
    { 0x0463, 0x0462 },  // cyrillic small letter yat
    { 0x0465, 0x0464 },  // cyrillic small letter iotified e
    { 0x0467, 0x0466 },  // cyrillic small letter little yus
    { 0x0469, 0x0468 },  // cyrillic small letter iotified little yus
    { 0x046B, 0x046A },  // cyrillic small letter big yus
    { 0x046D, 0x046C },  // cyrillic small letter iotified big yus
    { 0x046F, 0x046E },  // cyrillic small letter ksi
    { 0x0471, 0x0470 },  // cyrillic small letter psi
    { 0x0473, 0x0472 },  // cyrillic small letter fita
    { 0x0475, 0x0474 },  // cyrillic small letter izhitsa
    { 0x0477, 0x0476 },  // cyrillic small letter izhitsa with double grave accent
    { 0x0479, 0x0478 },  // cyrillic small letter uk
    { 0x047B, 0x047A },  // cyrillic small letter round omega
    { 0x047D, 0x047C },  // cyrillic small letter omega with titlo
    { 0x047F, 0x047E },  // cyrillic small letter ot
    { 0x0481, 0x0480 },  // cyrillic small letter koppa
    { 0x04C2, 0x04C1 },  // cyrillic small letter zhe with breve
    { 0x04C4, 0x04C3 },  // cyrillic small letter ka with hook
    { 0x04C6, 0x04C5 },  // cyrillic small letter el with tail
    { 0x04C8, 0x04C7 },  // cyrillic small letter en with hook
    { 0x04CA, 0x04C9 },  // cyrillic small letter en with tail
    { 0x04CC, 0x04CB },  // cyrillic small letter khakassian che
    { 0x04CE, 0x04CD },  // cyrillic small letter em with tail
    { 0x04CF, 0x04C0 },  // cyrillic small letter palochka
    { 0x1D79, 0xA77D },  // latin small letter insular g
    { 0x1D7D, 0x2C63 },  // latin small letter p with stroke
    { 0x1E9B, 0x1E60 },  // latin small letter long s with dot above
    { 0x1F00, 0x1F08 },  // greek small letter alpha with psili
    { 0x1F01, 0x1F09 },  // greek small letter alpha with dasia
    { 0x1F02, 0x1F0A },  // greek small letter alpha with psili and varia
    { 0x1F03, 0x1F0B },  // greek small letter alpha with dasia and varia
    { 0x1F04, 0x1F0C },  // greek small letter alpha with psili and oxia
    { 0x1F05, 0x1F0D },  // greek small letter alpha with dasia and oxia
    { 0x1F06, 0x1F0E },  // greek small letter alpha with psili and perispomeni
    { 0x1F07, 0x1F0F },  // greek small letter alpha with dasia and perispomeni
    { 0x1F10, 0x1F18 },  // greek small letter epsilon with psili
    { 0x1F11, 0x1F19 },  // greek small letter epsilon with dasia
    { 0x1F12, 0x1F1A },  // greek small letter epsilon with psili and varia
    { 0x1F13, 0x1F1B },  // greek small letter epsilon with dasia and varia
    { 0x1F14, 0x1F1C },  // greek small letter epsilon with psili and oxia
    { 0x1F15, 0x1F1D },  // greek small letter epsilon with dasia and oxia
    { 0x1F20, 0x1F28 },  // greek small letter eta with psili
    { 0x1F21, 0x1F29 },  // greek small letter eta with dasia
    { 0x1F22, 0x1F2A },  // greek small letter eta with psili and varia
    { 0x1F23, 0x1F2B },  // greek small letter eta with dasia and varia
    { 0x1F24, 0x1F2C },  // greek small letter eta with psili and oxia
    { 0x1F25, 0x1F2D },  // greek small letter eta with dasia and oxia
    { 0x1F26, 0x1F2E },  // greek small letter eta with psili and perispomeni
    { 0x1F27, 0x1F2F },  // greek small letter eta with dasia and perispomeni
    { 0x1F30, 0x1F38 },  // greek small letter iota with psili
    { 0x1F31, 0x1F39 },  // greek small letter iota with dasia
    { 0x1F32, 0x1F3A },  // greek small letter iota with psili and varia
    { 0x1F33, 0x1F3B },  // greek small letter iota with dasia and varia
    { 0x1F34, 0x1F3C },  // greek small letter iota with psili and oxia
    { 0x1F35, 0x1F3D },  // greek small letter iota with dasia and oxia
    { 0x1F36, 0x1F3E },  // greek small letter iota with psili and perispomeni
    { 0x1F37, 0x1F3F },  // greek small letter iota with dasia and perispomeni
    { 0x1F40, 0x1F48 },  // greek small letter omicron with psili
    { 0x1F41, 0x1F49 },  // greek small letter omicron with dasia
    { 0x1F42, 0x1F4A },  // greek small letter omicron with psili and varia
    { 0x1F43, 0x1F4B },  // greek small letter omicron with dasia and varia
    { 0x1F44, 0x1F4C },  // greek small letter omicron with psili and oxia
    { 0x1F45, 0x1F4D },  // greek small letter omicron with dasia and oxia
    { 0x1F51, 0x1F59 },  // greek small letter upsilon with dasia
    { 0x1F53, 0x1F5B },  // greek small letter upsilon with dasia and varia
    { 0x1F55, 0x1F5D },  // greek small letter upsilon with dasia and oxia
    { 0x1F57, 0x1F5F },  // greek small letter upsilon with dasia and perispomeni
    { 0x1F60, 0x1F68 },  // greek small letter omega with psili
    { 0x1F61, 0x1F69 },  // greek small letter omega with dasia
    { 0x1F62, 0x1F6A },  // greek small letter omega with psili and varia
    { 0x1F63, 0x1F6B },  // greek small letter omega with dasia and varia
    { 0x1F64, 0x1F6C },  // greek small letter omega with psili and oxia
    { 0x1F65, 0x1F6D },  // greek small letter omega with dasia and oxia
    { 0x1F66, 0x1F6E },  // greek small letter omega with psili and perispomeni
    { 0x1F67, 0x1F6F },  // greek small letter omega with dasia and perispomeni
    { 0x1F70, 0x1FBA },  // greek small letter alpha with varia
    { 0x1F71, 0x1FBB },  // greek small letter alpha with oxia
    { 0x1F72, 0x1FC8 },  // greek small letter epsilon with varia
    { 0x1F73, 0x1FC9 },  // greek small letter epsilon with oxia
    { 0x1F74, 0x1FCA },  // greek small letter eta with varia
    { 0x1F75, 0x1FCB },  // greek small letter eta with oxia
    { 0x1F76, 0x1FDA },  // greek small letter iota with varia
    { 0x1F77, 0x1FDB },  // greek small letter iota with oxia
    { 0x1F78, 0x1FF8 },  // greek small letter omicron with varia
    { 0x1F79, 0x1FF9 },  // greek small letter omicron with oxia
    { 0x1F7A, 0x1FEA },  // greek small letter upsilon with varia
    { 0x1F7B, 0x1FEB },  // greek small letter upsilon with oxia
    { 0x1F7C, 0x1FFA },  // greek small letter omega with varia
    { 0x1F7D, 0x1FFB },  // greek small letter omega with oxia
    { 0x1F80, 0x1F88 },  // greek small letter alpha with psili and ypogegrammeni
    { 0x1F81, 0x1F89 },  // greek small letter alpha with dasia and ypogegrammeni
    { 0x1F82, 0x1F8A },  // greek small letter alpha with psili and varia and ypogegrammeni
    { 0x1F83, 0x1F8B },  // greek small letter alpha with dasia and varia and ypogegrammeni
    { 0x1F84, 0x1F8C },  // greek small letter alpha with psili and oxia and ypogegrammeni
    { 0x1F85, 0x1F8D },  // greek small letter alpha with dasia and oxia and ypogegrammeni
    { 0x1F86, 0x1F8E },  // greek small letter alpha with psili and perispomeni and ypogegrammeni
    { 0x1F87, 0x1F8F },  // greek small letter alpha with dasia and perispomeni and ypogegrammeni
    { 0x1F90, 0x1F98 },  // greek small letter eta with psili and ypogegrammeni
    { 0x1F91, 0x1F99 },  // greek small letter eta with dasia and ypogegrammeni
    { 0x1F92, 0x1F9A },  // greek small letter eta with psili and varia and ypogegrammeni
    { 0x1F93, 0x1F9B },  // greek small letter eta with dasia and varia and ypogegrammeni
    { 0x1F94, 0x1F9C },  // greek small letter eta with psili and oxia and ypogegrammeni
    { 0x1F95, 0x1F9D },  // greek small letter eta with dasia and oxia and ypogegrammeni
    { 0x1F96, 0x1F9E },  // greek small letter eta with psili and perispomeni and ypogegrammeni
    { 0x1F97, 0x1F9F },  // greek small letter eta with dasia and perispomeni and ypogegrammeni
    { 0x1FA0, 0x1FA8 },  // greek small letter omega with psili and ypogegrammeni
    { 0x1FA1, 0x1FA9 },  // greek small letter omega with dasia and ypogegrammeni
    { 0x1FA2, 0x1FAA },  // greek small letter omega with psili and varia and ypogegrammeni
    { 0x1FA3, 0x1FAB },  // greek small letter omega with dasia and varia and ypogegrammeni
    { 0x1FA4, 0x1FAC },  // greek small letter omega with psili and oxia and ypogegrammeni
    { 0x1FA5, 0x1FAD },  // greek small letter omega with dasia and oxia and ypogegrammeni
    { 0x1FA6, 0x1FAE },  // greek small letter omega with psili and perispomeni and ypogegrammeni
    { 0x1FA7, 0x1FAF },  // greek small letter omega with dasia and perispomeni and ypogegrammeni
    { 0x1FB0, 0x1FB8 },  // greek small letter alpha with vrachy
    { 0x1FB1, 0x1FB9 },  // greek small letter alpha with macron
    { 0x1FB3, 0x1FBC },  // greek small letter alpha with ypogegrammeni
    { 0x1FBE, 0x0399 },  // greek prosgegrammeni
    { 0x1FC3, 0x1FCC },  // greek small letter eta with ypogegrammeni
    { 0x1FD0, 0x1FD8 },  // greek small letter iota with vrachy
    { 0x1FD1, 0x1FD9 },  // greek small letter iota with macron
    { 0x1FE0, 0x1FE8 },  // greek small letter upsilon with vrachy
    { 0x1FE1, 0x1FE9 },  // greek small letter upsilon with macron
    { 0x1FE5, 0x1FEC },  // greek small letter rho with dasia
    { 0x1FF3, 0x1FFC },  // greek small letter omega with ypogegrammeni
    { 0x214E, 0x2132 },  // turned small f
    { 0x2170, 0x2160 },  // small roman numeral one
    { 0x2171, 0x2161 },  // small roman numeral two
    { 0x2172, 0x2162 },  // small roman numeral three
    { 0x2173, 0x2163 },  // small roman numeral four
    { 0x2174, 0x2164 },  // small roman numeral five
    { 0x2175, 0x2165 },  // small roman numeral six
    { 0x2176, 0x2166 },  // small roman numeral seven
    { 0x2177, 0x2167 },  // small roman numeral eight
    { 0x2178, 0x2168 },  // small roman numeral nine
    { 0x2179, 0x2169 },  // small roman numeral ten
    { 0x217A, 0x216A },  // small roman numeral eleven
    { 0x217B, 0x216B },  // small roman numeral twelve
    { 0x217C, 0x216C },  // small roman numeral fifty
    { 0x217D, 0x216D },  // small roman numeral one hundred
    { 0x217E, 0x216E },  // small roman numeral five hundred
    { 0x217F, 0x216F },  // small roman numeral one thousand
    { 0x2184, 0x2183 },  // latin small letter reversed c
    { 0x2C61, 0x2C60 },  // latin small letter l with double bar
    { 0x2C65, 0x023A },  // latin small letter a with stroke
    { 0x2C66, 0x023E },  // latin small letter t with diagonal stroke
    { 0x2C68, 0x2C67 },  // latin small letter h with descender
    { 0x2C6A, 0x2C69 },  // latin small letter k with descender
    { 0x2C6C, 0x2C6B },  // latin small letter z with descender
    { 0x2C73, 0x2C72 },  // latin small letter w with hook
    { 0x2C76, 0x2C75 },  // latin small letter half h
    { 0x2CEC, 0x2CEB },  // coptic small letter cryptogrammic shei
    { 0x2CEE, 0x2CED },  // coptic small letter cryptogrammic gangia
    { 0xA641, 0xA640 },  // cyrillic small letter zemlya
    { 0xA643, 0xA642 },  // cyrillic small letter dzelo
    { 0xA645, 0xA644 },  // cyrillic small letter reversed dze
    { 0xA647, 0xA646 },  // cyrillic small letter iota
    { 0xA649, 0xA648 },  // cyrillic small letter djerv
    { 0xA64B, 0xA64A },  // cyrillic small letter monograph uk
    { 0xA64D, 0xA64C },  // cyrillic small letter broad omega
    { 0xA64F, 0xA64E },  // cyrillic small letter neutral yer
    { 0xA651, 0xA650 },  // cyrillic small letter yeru with back yer
    { 0xA653, 0xA652 },  // cyrillic small letter iotified yat
    { 0xA655, 0xA654 },  // cyrillic small letter reversed yu
    { 0xA657, 0xA656 },  // cyrillic small letter iotified a
    { 0xA659, 0xA658 },  // cyrillic small letter closed little yus
    { 0xA65B, 0xA65A },  // cyrillic small letter blended yus
    { 0xA65D, 0xA65C },  // cyrillic small letter iotified closed little yus
    { 0xA65F, 0xA65E },  // cyrillic small letter yn
    { 0xA663, 0xA662 },  // cyrillic small letter soft de
    { 0xA665, 0xA664 },  // cyrillic small letter soft el
    { 0xA667, 0xA666 },  // cyrillic small letter soft em
    { 0xA669, 0xA668 },  // cyrillic small letter monocular o
    { 0xA66B, 0xA66A },  // cyrillic small letter binocular o
    { 0xA66D, 0xA66C },  // cyrillic small letter double monocular o
    { 0xA681, 0xA680 },  // cyrillic small letter dwe
    { 0xA683, 0xA682 },  // cyrillic small letter dzwe
    { 0xA685, 0xA684 },  // cyrillic small letter zhwe
    { 0xA687, 0xA686 },  // cyrillic small letter cche
    { 0xA689, 0xA688 },  // cyrillic small letter dzze
    { 0xA68B, 0xA68A },  // cyrillic small letter te with middle hook
    { 0xA68D, 0xA68C },  // cyrillic small letter twe
    { 0xA68F, 0xA68E },  // cyrillic small letter tswe
    { 0xA691, 0xA690 },  // cyrillic small letter tsse
    { 0xA693, 0xA692 },  // cyrillic small letter tche
    { 0xA695, 0xA694 },  // cyrillic small letter hwe
    { 0xA697, 0xA696 },  // cyrillic small letter shwe
    { 0xA723, 0xA722 },  // latin small letter egyptological alef
    { 0xA725, 0xA724 },  // latin small letter egyptological ain
    { 0xA727, 0xA726 },  // latin small letter heng
    { 0xA729, 0xA728 },  // latin small letter tz
    { 0xA72B, 0xA72A },  // latin small letter tresillo
    { 0xA72D, 0xA72C },  // latin small letter cuatrillo
    { 0xA72F, 0xA72E },  // latin small letter cuatrillo with comma
    { 0xA77A, 0xA779 },  // latin small letter insular d
    { 0xA77C, 0xA77B },  // latin small letter insular f
    { 0xA77F, 0xA77E },  // latin small letter turned insular g
    { 0xA781, 0xA780 },  // latin small letter turned l
    { 0xA783, 0xA782 },  // latin small letter insular r
    { 0xA785, 0xA784 },  // latin small letter insular s
    { 0xA787, 0xA786 },  // latin small letter insular t
    { 0xA78C, 0xA78B },  // latin small letter saltillo
};

const int kUpperCasePairCount = (int)(sizeof(kUpperCasePairs) / sizeof(kUpperCasePairs[0]));
