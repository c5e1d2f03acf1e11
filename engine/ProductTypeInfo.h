#pragma once

#include <QString>

// Names, titles, version and description of the products of the family. This
// program is always the VelSpo product; the other types share the table so
// that family modules can be built for any of them.
namespace ProductTypeInfo {

enum ProductType {
    VelDpo = 1,
    VelDpp = 2,
    VelEs = 3,
    VelSpo = 4,
    VelAtt = 5,
    VelMed = 6,
    VelProf = 7,
    VelVuz = 8,
    VelKinder = 9,
    UnknownType = 255
};

constexpr int VersionMajor = 0;
constexpr int VersionMinor = 4;
constexpr int VersionPatch = 2;
constexpr int BuildNumber = 617;

// The current product type: always VelSpo here.
int productType();

// "VelSpo": the application name used for settings, the database and lock file.
QString applicationName();
// "VelSoftware".
QString organizationName();

// "ВЕЛФОРМА" followed by the type's suffix.
QString fullTitle(int type);
QString fullTitle();

// "0.4.2".
QString version();
// Full title, " v", version.
QString titleWithVersion();
// Full title, " v", version, " build ", build number.
QString titleWithBuild();

// The description paragraph of a type (of the current type without argument).
QString description(int type);
QString description();

// Family table entries nothing in this program shows.
QString productName(int type);
QString productName();
QString shortTitle(int type);
QString shortTitle();

} // namespace ProductTypeInfo
