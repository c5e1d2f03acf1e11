DROP VIEW IF EXISTS ViewSpoDocuments;

CREATE VIEW ViewSpoDocuments AS
SELECT spoId,
    IFNULL(fio1, '') || ' ' || IFNULL(fio2, '') || ' ' || IFNULL(fio3, '') AS fio,
    issueDate, number, regNumber, professionName, editDate
FROM SpoDocuments
WHERE IFNULL(isTemplate, 0) <> 1;

DROP VIEW IF EXISTS ViewSpoDetails;

-- UNION ALL, not UNION: every row carries ordering keys that no other row of its
-- document has (its branch and its own key), so UNION would remove nothing, and
-- SQLite takes a condition on spoId into the branches of a UNION ALL but not of a
-- UNION: the rows of one document are looked up by the spoId indexes instead of
-- the rows of every document being built and sorted first.
CREATE VIEW ViewSpoDetails AS
SELECT spoId, col1, col2, col3 FROM (
    SELECT spoId, disciplineName AS col1, disciplineCount AS col2, disciplineRate AS col3, 1 AS order1, discId AS order2, 0 AS order3
    FROM DisciplineDetails
    UNION ALL
    SELECT spoId, '', '', '', 2, moduleId, -3
    FROM ModuleDetails
    UNION ALL
    SELECT spoId, moduleName, moduleCount, moduleRate, 2, moduleId, -2
    FROM ModuleDetails
    UNION ALL
    SELECT spoId, '    ' || IFNULL(dmName, ''), dmCount, dmRate, 2, moduleId, dmId
    FROM DMDetails
    UNION ALL
    SELECT spoId, '', '', '', 3, 0, 0
    FROM SpoDocuments
    UNION ALL
    SELECT spoId, 'ВСЕГО часов теоретического обучения:', SUM(REPLACE(IFNULL(disciplineCount, 0), ',', '.')) + IFNULL((SELECT SUM(REPLACE(IFNULL(m.moduleCount, 0), ',', '.')) FROM ModuleDetails m WHERE m.spoId = DisciplineDetails.spoId), 0), 'х', 8, 0, 0
    FROM DisciplineDetails GROUP BY spoId
    UNION ALL
    SELECT spoId, 'в том числе аудиторных часов:', SUM(REPLACE(IFNULL(disciplineCountAudit, 0), ',', '.')) + IFNULL((SELECT SUM(REPLACE(IFNULL(m.moduleCountAudit, 0), ',', '.')) FROM ModuleDetails m WHERE m.spoId = DisciplineDetails.spoId), 0), 'х', 9, 0, 0
    FROM DisciplineDetails GROUP BY spoId
    UNION ALL
    SELECT spoId, 'Практика' || char(10) || 'в том числе:', practiceTotalCount, 'х', 10, 0, 0
    FROM SpoDocuments
    UNION ALL
    SELECT spoId, practiceName, practiceCount, practiceRate, 11, pracId, 0
    FROM PracticeDetails
    UNION ALL
    SELECT spoId, 'Государственная итоговая аттестация' || char(10) || 'в том числе:', attestationTotalCount, 'х', 20, 0, 0
    FROM SpoDocuments
    UNION ALL
    SELECT spoId, attestationName, 'x', attestationRate, 21, attId, 0
    FROM AttestationDetails
)
ORDER BY order1, order2, order3;

DROP VIEW IF EXISTS ViewSpoCourseworks;

CREATE VIEW ViewSpoCourseworks AS
SELECT spoId, cwName, cwRate
FROM CourseworkDetails
ORDER BY cwId;

DROP VIEW IF EXISTS ViewSpoModules;

CREATE VIEW ViewSpoModules AS
SELECT spoId, moduleName, moduleRate
FROM ModuleDetails
ORDER BY moduleId;

DROP VIEW IF EXISTS ViewSpoDMs;

CREATE VIEW ViewSpoDMs AS
SELECT spoId, dmName, dmCount, dmCountAudit, dmRate
FROM DMDetails
ORDER BY moduleId;
