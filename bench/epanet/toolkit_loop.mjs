// The reference solver's toolkit loop on one .inp file, as a program analysing many networks
// one after another would run it: open, solve one period, read every node's head and every
// link's flow, close. Prints one JSON line: the networks per second (best of the rounds).
//
//     node toolkit_loop.mjs FILE.inp NETWORKS [ROUNDS]
import fs from "fs";
import { performance } from "perf_hooks";
import { InitHydOption, LinkProperty, NodeProperty, Project, Workspace } from "epanet-js";

const [path, networksText, roundsText] = process.argv.slice(2);
const networks = Number(networksText);
const rounds = Number(roundsText ?? 3);
const ws = new Workspace();
await ws.loadModule();
ws.writeFile("net.inp", fs.readFileSync(path));

let checksum = 0;
let best = Infinity;
for (let round = 0; round < rounds; ++round) {
  const start = performance.now();
  for (let i = 0; i < networks; ++i) {
    const model = new Project(ws);
    model.open("net.inp", "net.rpt", "");
    model.openH();
    model.initH(InitHydOption.NoSave);
    model.runH();
    const nodes = model.getCount(0);
    const links = model.getCount(2);
    for (let n = 1; n <= nodes; ++n) checksum += model.getNodeValue(n, NodeProperty.Head);
    for (let e = 1; e <= links; ++e) checksum += model.getLinkValue(e, LinkProperty.Flow);
    model.closeH();
    model.close();
  }
  best = Math.min(best, (performance.now() - start) / 1000);
}
console.log(JSON.stringify({ networks, seconds: best, per_second: networks / best, checksum }));
