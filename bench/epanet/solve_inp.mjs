// Solves the hydraulics of each .inp file given, one period, with the reference solver of the
// format compiled to WebAssembly (the npm package epanet-js, installed in this folder by
// bench/grids.py). Prints one JSON line per file: seconds of the open and the solve, the
// solver's iteration count and its relative flow change at the end, and the largest nodal
// imbalance worked out here from its link flows and junction demands (in L/s).
//
//     node solve_inp.mjs FILE.inp...
import fs from "fs";
import { performance } from "perf_hooks";
import {
  AnalysisStatistic,
  InitHydOption,
  LinkProperty,
  NodeProperty,
  NodeType,
  Project,
  Workspace,
} from "epanet-js";

const ws = new Workspace();
await ws.loadModule();

for (const path of process.argv.slice(2)) {
  const model = new Project(ws);
  ws.writeFile("net.inp", fs.readFileSync(path));
  const start = performance.now();
  model.open("net.inp", "net.rpt", "");
  const opened = performance.now();
  model.openH();
  model.initH(InitHydOption.NoSave);
  model.runH();
  const solved = performance.now();
  const passes = model.getStatistic(AnalysisStatistic.Iterations);
  const relative = model.getStatistic(AnalysisStatistic.RelativeError);
  // Net outflow of every node from the link flows, against the junction's demand.
  const nodes = model.getCount(0);
  const links = model.getCount(2);
  const outflow = new Float64Array(nodes + 1);
  for (let e = 1; e <= links; ++e) {
    const { node1, node2 } = model.getLinkNodes(e);
    const q = model.getLinkValue(e, LinkProperty.Flow);
    outflow[node1] += q;
    outflow[node2] -= q;
  }
  let largest = 0;
  for (let i = 1; i <= nodes; ++i) {
    if (model.getNodeType(i) !== NodeType.Junction) continue;
    const demand = model.getNodeValue(i, NodeProperty.Demand);
    largest = Math.max(largest, Math.abs(-outflow[i] - demand));
  }
  model.closeH();
  model.close();
  console.log(
    JSON.stringify({
      file: path,
      open_s: (opened - start) / 1000,
      solve_s: (solved - opened) / 1000,
      passes,
      relative_change: relative,
      max_imbalance_lps: largest,
    }),
  );
}
