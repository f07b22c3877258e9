// The one DOM helper every module of the page uses: an element by its id.
export const $ = (id) => document.getElementById(id);
