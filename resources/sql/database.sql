CREATE TABLE SpoDocuments (
    spoId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    isTemplate INTEGER,
    isDuplicate INTEGER,
    isExcellent INTEGER,
    qual TEXT,
    programType INTEGER,
    professionCode TEXT,
    professionName TEXT,
    fio1 TEXT,
    fio2 TEXT,
    fio3 TEXT,
    decisionDate TEXT,
    number TEXT,
    regNumber TEXT,
    issueDate TEXT,
    birthDate TEXT,
    comment TEXT,
    editDate TEXT,
    totalCount TEXT,
    attestationTotalCount TEXT,
    practiceTotalCount TEXT,
    previousEducation TEXT,
    additionNumber TEXT,
    serial TEXT,
    additionSerial TEXT,
    deductionDate TEXT,
    deductionNumber TEXT
);

CREATE TABLE PracticeDetails (
    pracId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    practiceName TEXT,
    practiceCount INTRGER,
    practiceRate TEXT
);

CREATE TABLE DisciplineDetails (
    discId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    disciplineName TEXT,
    disciplineCount INTRGER,
    disciplineCountAudit INTRGER,
    disciplineRate TEXT
);

CREATE TABLE CourseworkDetails (
    cwId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    cwName TEXT,
    cwRate TEXT
);

CREATE TABLE AttestationDetails (
    attId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    attestationName TEXT,
    attestationRate TEXT
);

CREATE TABLE ModuleDetails (
    moduleId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    moduleName TEXT,
    moduleCount INTEGER,
    moduleCountAudit INTEGER,
    moduleRate TEXT,
    moduleExamCount INTEGER
);

CREATE TABLE DMDetails (
    dmId INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT UNIQUE,
    spoId INTEGER NOT NULL,
    moduleId INTEGER NOT NULL,
    dmName TEXT,
    dmCount INTEGER,
    dmCountAudit INTEGER,
    dmRate TEXT
);
