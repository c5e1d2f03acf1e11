SELECT spoId, isTemplate, isDuplicate, isExcellent, qual, programType, professionCode, professionName, fio1, fio2, fio3, decisionDate, number, regNumber, issueDate, birthDate, comment, editDate, totalCount, attestationTotalCount, practiceTotalCount, previousEducation, additionNumber, serial, additionSerial, deductionDate, deductionNumber FROM SpoDocuments LIMIT 1;

SELECT pracId, spoId, practiceCount, practiceName, practiceRate FROM PracticeDetails LIMIT 1;

SELECT discId, spoId, disciplineCount, disciplineCountAudit, disciplineName, disciplineRate FROM DisciplineDetails LIMIT 1;

SELECT cwId, spoId, cwName, cwRate FROM CourseworkDetails LIMIT 1;

SELECT attId, spoId, attestationName, attestationRate FROM AttestationDetails LIMIT 1;

SELECT moduleId, spoId, moduleName, moduleCount, moduleCountAudit, moduleRate FROM ModuleDetails LIMIT 1;

SELECT dmId, spoId, moduleId, dmName, dmCount, dmCountAudit, dmRate FROM DMDetails LIMIT 1;
