CREATE TABLE IF NOT EXISTS ModuleDetails (
    moduleId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    moduleName TEXT,
    moduleCount INTEGER,
    moduleCountAudit INTEGER,
    moduleRate TEXT
);

CREATE TABLE IF NOT EXISTS DMDetails (
    dmId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    moduleId INTEGER NOT NULL,
    dmName TEXT,
    dmCount INTEGER,
    dmCountAudit INTEGER,
    dmRate TEXT
);

CREATE TABLE IF NOT EXISTS Bosses (
    bossId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    bossFio TEXT
);

CREATE TABLE IF NOT EXISTS Variables (
    Name TEXT PRIMARY KEY,
    Value TEXT
);
